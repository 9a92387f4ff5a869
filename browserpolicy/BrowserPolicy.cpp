#include "BrowserPolicy.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "bridge/BridgeConfig.h"

namespace {

bool validHost(const QString& host)
{
    static const QRegularExpression name(QStringLiteral("^[a-z0-9]([a-z0-9-]*[a-z0-9])?(\\.[a-z0-9]([a-z0-9-]*[a-z0-9])?)*$"));
    static const QRegularExpression ipv6(QStringLiteral("^\\[[0-9a-f:.]+\\]$"));
    return host.size() <= 253 && (name.match(host).hasMatch() || ipv6.match(host).hasMatch());
}

bool nameOfThisNetwork(const QString& host)
{
    static const QRegularExpression address(QStringLiteral("^(\\[.*\\]|[0-9.]+)$"));
    return address.match(host).hasMatch() || host == QLatin1String("localhost")
        || host.endsWith(QLatin1String(".localhost")) || host.endsWith(QLatin1String(".local"));
}

}  // namespace

QString policyOriginText(const PolicyOrigin& o)
{
    return o.scheme + QLatin1String("://") + o.host + QLatin1Char(':') + QString::number(o.port);
}

PolicyOrigins policyOrigins(const QStringList& allowedOrigins)
{
    PolicyOrigins result;
    QStringList seen;
    for (const QString& entry : allowedOrigins) {
        const QString origin = bridgeNormaliseOrigin(entry);
        const int schemeEnd = origin.indexOf(QLatin1String("://"));
        const QString scheme = origin.left(schemeEnd);
        if (schemeEnd <= 0 || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
            result.skipped << QStringLiteral("'%1' is left out: it is no http or https origin").arg(entry);
            continue;
        }
        const QString authority = origin.mid(schemeEnd + 3);
        const int colon = authority.lastIndexOf(QLatin1Char(':'));
        const bool hasPort = colon > authority.lastIndexOf(QLatin1Char(']'));
        PolicyOrigin o;
        o.scheme = scheme;
        o.host = hasPort ? authority.left(colon) : authority;
        bool numeric = true;
        o.port = hasPort ? authority.mid(colon + 1).toInt(&numeric) : (scheme == QLatin1String("https") ? 443 : 80);
        if (!validHost(o.host)) {
            result.skipped << QStringLiteral("'%1' is left out: its host is no plain host name or address").arg(entry);
            continue;
        }
        if (!numeric || o.port < 1 || o.port > 65535) {
            result.skipped << QStringLiteral("'%1' is left out: its port is no number from 1 to 65535").arg(entry);
            continue;
        }
        o.firefox = !nameOfThisNetwork(o.host);
        if (!o.firefox)
            result.skipped << QStringLiteral("'%1' is left out of Firefox's list: there it would let every site "
                                             "reach that address (a page of this computer needs no exception)")
                                  .arg(entry);
        const QString text = policyOriginText(o);
        if (!seen.contains(text)) {
            seen << text;
            result.origins << o;
        }
    }
    return result;
}

QByteArray chromiumPolicy(const QList<PolicyOrigin>& origins)
{
    if (origins.isEmpty())
        return QByteArray();
    QJsonArray list;
    for (const PolicyOrigin& o : origins)
        list.append(policyOriginText(o));
    QJsonObject policy;
    policy.insert(QStringLiteral("LocalNetworkAccessAllowedForUrls"), list);
    policy.insert(QStringLiteral("LoopbackNetworkAllowedForUrls"), list);
    return QJsonDocument(policy).toJson(QJsonDocument::Indented);
}

QByteArray firefoxPreferences(const QList<PolicyOrigin>& origins)
{
    QStringList hosts;
    for (const PolicyOrigin& o : origins) {
        if (o.firefox && !hosts.contains(o.host))
            hosts << o.host;
    }
    if (hosts.isEmpty())
        return QByteArray();
    // Hosts are checked above: nothing in them needs escaping.
    return QByteArrayLiteral("// Written by tarn-browser-policy from [WebBridge] AllowedOrigins of the key\n"
                             "// manager's Config.ini; run it again after changing that list.\n"
                             "pref(\"network.lna.skip-domains\", \"")
        + hosts.join(QLatin1Char(',')).toUtf8() + QByteArrayLiteral("\");\n");
}
