#include "ConfigValues.h"

#include <cstring>

#include "common/ZTCommonDef.h"
#include "common/UserSettings.h"
#include "bindings/ZTUtil_fundef.h"
#include "common/global_def_var.h"

QByteArray readConfigString(const char* section, const char* key, const char* fallback)
{
    char value[ZT_PATH_LEN] = {0};
    size_t size = sizeof(value);
    if (!ZTUtil_GetIniStringA ||
        ZTUtil_GetIniStringA(section, key, fallback, value, &size, g_szConfigFilePath) != 0)
        return QByteArray(fallback);
    return QByteArray(value, static_cast<int>(strnlen(value, sizeof(value) - 1)));
}

uint32_t readConfigUInt(const char* section, const char* key, uint32_t fallback)
{
    if (isUserSetting(section, key))
        return configUIntSetting(section, key, fallback);
    return ZTUtil_GetIniUIntA ? ZTUtil_GetIniUIntA(section, key, fallback, g_szConfigFilePath) : fallback;
}

uint32_t writeConfigUInt(const char* section, const char* key, uint32_t value)
{
    return writeUserSetting(section, key, QString::number(value));
}
