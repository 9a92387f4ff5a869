#include "BridgeConfig.h"

#include <vector>

#include "common/SystemConfig.h"
#include "bindings/ZTUtil_fundef.h"
#include "zvit_build_config.h"

namespace {

// The lists may be longer than one path; the product's own keys keep 260.
constexpr size_t kListBufferSize = 8192;

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

QString bridgeNormaliseOrigin(const QString& origin)
{
    QString text = origin.trimmed();
    const int schemeEnd = text.indexOf(QLatin1String("://"));
    if (schemeEnd <= 0) {
        while (text.endsWith(QLatin1Char('/')))
            text.chop(1);
        return text.toLower();
    }
    const QString scheme = text.left(schemeEnd).toLower();
    QString authority = text.mid(schemeEnd + 3);
    // An origin has no path; a "/" or more after the host is dropped, and
    // so is anything a sender put behind it.
    const int slash = authority.indexOf(QLatin1Char('/'));
    if (slash >= 0)
        authority.truncate(slash);
    QString host = authority;
    QString port;
    const int bracketEnd = authority.startsWith(QLatin1Char('[')) ? authority.indexOf(QLatin1Char(']')) : -1;
    const int colon = authority.lastIndexOf(QLatin1Char(':'));
    if (colon > bracketEnd && (bracketEnd >= 0 || authority.indexOf(QLatin1Char(':')) == colon)) {
        host = authority.left(colon);
        port = authority.mid(colon + 1);
    }
    host = host.toLower();
    if (!port.isEmpty()) {
        bool numeric = false;
        const uint number = port.toUInt(&numeric);
        if (numeric && number <= 65535) {
            const bool plain = scheme == QLatin1String("http") || scheme == QLatin1String("ws");
            const bool secure = scheme == QLatin1String("https") || scheme == QLatin1String("wss");
            if ((plain && number == 80) || (secure && number == 443))
                port.clear();
            else
                port = QString::number(number);
        }
    }
    return scheme + QLatin1String("://") + host + (port.isEmpty() ? QString() : QLatin1Char(':') + port);
}

bool bridgeOriginAnonymous(const QString& normalisedOrigin)
{
    return normalisedOrigin == QLatin1String("null") || normalisedOrigin.startsWith(QLatin1String("file://"));
}

bool bridgeOriginListed(const QString& origin, const QStringList& list)
{
    const QString wanted = bridgeNormaliseOrigin(origin);
    if (wanted.isEmpty())
        return false;
    for (const QString& entry : list) {
        if (bridgeNormaliseOrigin(entry) == wanted)
            return true;
    }
    return false;
}

bool bridgeAskUnknownOrigins()
{
    if (!ZTUtil_GetIniUIntA)
        return true;
    char configPath[ZT_PATH_LEN] = {};
    getConfigFilePath(configPath);
    return ZTUtil_GetIniUIntA(ZT_BRIDGE_SECTION, ZT_BRIDGE_KEY_ASK_UNKNOWN, 1, configPath) != 0;
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
