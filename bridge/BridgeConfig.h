#pragma once
// What the configuration file lets web pages do: which SKF libraries a page
// may name and which page origins may connect ([WebBridge] in Config.ini).
#include <QString>
#include <QStringList>

#define ZT_BRIDGE_SECTION "WebBridge"
#define ZT_BRIDGE_KEY_LIBRARIES "AllowedSKFLibraries"
#define ZT_BRIDGE_KEY_ORIGINS "AllowedOrigins"

// A ";"-separated list of the configuration file, trimmed, empty entries
// dropped. Empty when the utility library is not loaded or the key is missing.
QStringList bridgeConfigList(const char* key);
// The library path a page may have loaded: the default path, or one listed
// under AllowedSKFLibraries, compared as exact text.
bool bridgeLibraryAllowed(const QString& path, const QStringList& allowed);
// A page origin that may connect: every origin while the list is empty,
// otherwise one listed (scheme and host compared without case, no final "/").
bool bridgeOriginAllowed(const QString& origin, const QStringList& allowed);
// "ProductVersion" of [ZTTokenInfo], "1.0" when missing.
QString bridgeProductVersion();
