#include "SystemConfig.h"

#include <cstdio>
#include <unistd.h>

#include "PlatformApi.h"
#include "bindings/ZTUtil_fundef.h"
#include "global_def_var.h"

DWORD initSystemPath(char* languageDirPath, char* configFilePath)
{
    getLanguageDirPath(languageDirPath);
    getConfigFilePath(configFilePath);
    return 0;
}

DWORD getLanguageDirPath(char* buffer)
{
    if (buffer)
        ztFilesPath(buffer, ZT_LANGUAGE_DIR);
    return 0;
}

DWORD getConfigFilePath(char* buffer)
{
    if (buffer)
        ztFilesPath(buffer, ZT_CONFIG_FILE);
    return 0;
}

int getLanguageFileName(char* buffer)
{
    if (!buffer)
        return -1;
    getLanguageDirPath(g_szLanguageDirPath);
    char iniPath[ZT_PATH_LEN];
    if (!ztFilesPath(iniPath, ZT_LANGUAGE_DIR ZT_LANGUAGE_INI))
        return -1;
    char code[ZT_PATH_LEN] = "2052";
    size_t size = sizeof(code);
    if (!ZTUtil_GetIniStringA ||
        ZTUtil_GetIniStringA("LanguageDefaultSetting", "language", "2052", code, &size, iniPath) != 0)
        zt_strlcpy(code, "2052", sizeof(code));
    int n = snprintf(buffer, ZT_PATH_LEN, "%s%s.qm", g_szLanguageDirPath, code);
    if (n < 0 || n >= ZT_PATH_LEN) {
        // An absurd code must not name a file outside the language folder.
        n = snprintf(buffer, ZT_PATH_LEN, "%s2052.qm", g_szLanguageDirPath);
        if (n < 0 || n >= ZT_PATH_LEN)
            buffer[0] = '\0';
    }
    return 0;
}

int setDefaultLanguage(const char* languageCode)
{
    if (!languageCode)
        return -1;
    if (!ZTUtil_WriteIniStringA)
        return static_cast<int>(ZT_ERR_LOAD_LIBRARY);
    char iniPath[ZT_PATH_LEN];
    if (!ztFilesPath(iniPath, ZT_LANGUAGE_DIR ZT_LANGUAGE_INI))
        return static_cast<int>(ZT_ERR_INVALID_ARG);
    return static_cast<int>(ZTUtil_WriteIniStringA("LanguageDefaultSetting", "language", languageCode, iniPath));
}

DWORD readConfigFile()
{
    char path[ZT_PATH_LEN];
    if (ZTUtil_GetIniUIntA && ztFilesPath(path, ZT_CONFIG_FILE))
        g_dwCachePin_P11 = ZTUtil_GetIniUIntA("PIN", "CachePIN", 0, path);
    return 0;
}

DWORD GetUserIDString(char* buffer)
{
    if (buffer)
        snprintf(buffer, ZT_PATH_LEN, "%d", static_cast<int>(getuid()));
    return 0;
}
