#pragma once
// What the browsers are told about the bank's sites: the web origins of
// [WebBridge] AllowedOrigins, normalised as the bridge compares them, become
// the sites a browser lets reach programs on this computer (the bridge on
// 127.0.0.1) without asking.
#include <QByteArray>
#include <QString>
#include <QStringList>

struct PolicyOrigin {
    QString scheme;  // http or https
    QString host;    // lower case; an IPv6 address keeps its brackets
    int port = 0;    // explicit, the scheme's default filled in
    // Firefox matches a listed host as the page's and as the address it
    // reaches: a loopback or local address there would let every site in.
    bool firefox = false;
};

// scheme://host:port, the port always given: a browser reads a missing one
// as any port.
QString policyOriginText(const PolicyOrigin& origin);

struct PolicyOrigins {
    QList<PolicyOrigin> origins;  // in list order, without repeats
    QStringList skipped;          // what was left out and why, for the administrator
};

// Entries that are no http(s) scheme://host[:port] origin are skipped: a
// browser would read "*" or "https://*.bank.example" as a pattern that lets
// many more sites in than the bridge serves.
PolicyOrigins policyOrigins(const QStringList& allowedOrigins);

// Each file's content; empty when it has nothing to say.
// Chromium-family managed policy (JSON), both names current and older
// Chromium read: LocalNetworkAccessAllowedForUrls (139+) and
// LoopbackNetworkAllowedForUrls (146+).
QByteArray chromiumPolicy(const QList<PolicyOrigin>& origins);
// Firefox preference file: network.lna.skip-domains takes host names.
QByteArray firefoxPreferences(const QList<PolicyOrigin>& origins);
