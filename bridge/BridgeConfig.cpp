#include "BridgeConfig.h"

#include <vector>

#include "SystemConfig.h"
#include "ZTUtil_fundef.h"
#include "zvit_build_config.h"

namespace {

// The lists may be longer than one path; the product's own keys keep 260.
constexpr size_t kListBufferSize = 8192;

QString normalisedOrigin(const QString& origin)
{
    QString text = origin.trimmed().toLower();
    while (text.endsWith(QLatin1Char('/')))
        text.chop(1);
    return text;
}

}  // namespace

QStringList bridgeConfigList(const char* key)
{
    if (!ZTUtil_GetIniStringA)
        return QStringList();
    char configPath[ZT_PATH_LEN] = {};
    getConfigFilePath(configPath);
    std::vector<char> value(kListBufferSize, '\0');
    size_t size = value.size();
    if (ZTUtil_GetIniStringA(ZT_BRIDGE_SECTION, key, "", value.data(), &size, configPath) != 0)
        return QStringList();
    value.back() = '\0';
    QStringList entries;
    for (const QString& entry : QString::fromUtf8(value.data()).split(QLatin1Char(';'))) {
        const QString trimmed = entry.trimmed();
        if (!trimmed.isEmpty())
            entries << trimmed;
    }
    return entries;
}

bool bridgeLibraryAllowed(const QString& path, const QStringList& allowed)
{
    if (path == QLatin1String(ZVIT_SKF_LIBRARY))
        return true;
    return allowed.contains(path);
}

bool bridgeOriginAllowed(const QString& origin, const QStringList& allowed)
{
    if (allowed.isEmpty())
        return true;
    const QString wanted = normalisedOrigin(origin);
    if (wanted.isEmpty())
        return false;
    for (const QString& entry : allowed) {
        if (normalisedOrigin(entry) == wanted)
            return true;
    }
    return false;
}

QString bridgeProductVersion()
{
    char version[ZT_PATH_LEN] = "1.0";
    if (!ZTUtil_GetIniStringA)
        return QStringLiteral("1.0");
    char configPath[ZT_PATH_LEN] = {};
    getConfigFilePath(configPath);
    size_t size = sizeof(version);
    if (ZTUtil_GetIniStringA("ZTTokenInfo", "ProductVersion", "1.0", version, &size, configPath) != 0)
        return QStringLiteral("1.0");
    version[sizeof(version) - 1] = '\0';
    return QString::fromUtf8(version);
}
