#pragma once
// What the configuration file lets web pages do: which SKF libraries a page
// may name and which page origins may connect ([WebBridge] in Config.ini).
#include <QString>
#include <QStringList>

#define ZT_BRIDGE_SECTION "WebBridge"
#define ZT_BRIDGE_KEY_LIBRARIES "AllowedSKFLibraries"
#define ZT_BRIDGE_KEY_ORIGINS "AllowedOrigins"
#define ZT_BRIDGE_KEY_ASK_UNKNOWN "AskUnknownOrigins"
// The user's remembered answers, in the per-user settings file.
#define ZT_BRIDGE_KEY_REMEMBERED_ALLOWED "RememberedAllowedSites"
#define ZT_BRIDGE_KEY_REMEMBERED_DENIED "RememberedDeniedSites"

// A ";"-separated list of the configuration file, trimmed, empty entries
// dropped. Empty when the utility library is not loaded or the key is missing.
QStringList bridgeConfigList(const char* key);
// The library path a page may have loaded: the default path, or one listed
// under AllowedSKFLibraries, compared as exact text.
bool bridgeLibraryAllowed(const QString& path, const QStringList& allowed);
// An origin as pages of one site always send it: scheme and host in lower
// case, the scheme's default port dropped (80 for http/ws, 443 for https/wss),
// no final "/". Texts that are no scheme://host origin ("null") are only
// lower-cased.
QString bridgeNormaliseOrigin(const QString& origin);
// Origins the user is asked about every time and whose answer is never kept:
// they name no site ("null", file://).
bool bridgeOriginAnonymous(const QString& normalisedOrigin);
// True when the origin is one of the list's entries, both normalised.
bool bridgeOriginListed(const QString& origin, const QStringList& list);
// [WebBridge] AskUnknownOrigins of the installed file: false only for 0.
bool bridgeAskUnknownOrigins();
// "ProductVersion" of [ZTTokenInfo], "1.0" when missing.
QString bridgeProductVersion();
