#pragma once
// Settings a desktop user changes. The installed Config.ini belongs to root and
// is shared by every account, so a user's choices live in a file of their own
// ($XDG_CONFIG_HOME, default ~/.config) that overrides it key by key. Only the
// keys listed as user settings are taken from that file: the bank's policy
// (shared names, allowed sites and libraries) stays with the installed file.
#include <QString>
#include <QStringList>
#include <cstdint>

// Folder of the user's file below the configuration home.
#define ZT_USER_SETTINGS_FOLDER "org.zvit.zevudazivud"

// The user's file, or empty when neither XDG_CONFIG_HOME nor HOME is an absolute path.
QString userSettingsPath();
bool isUserSetting(const char* section, const char* key);

// The user's value of a user setting; false when the file, the key or a
// private file (owned by the user, writable by nobody else) is missing.
bool readUserSetting(const char* section, const char* key, QString* value);

// A user setting as every program sees it: the user's value, else the
// installed Config.ini's, else fallback.
uint32_t configUIntSetting(const char* section, const char* key, uint32_t fallback);

// Writes a user setting atomically into the user's file (made 0600 in a 0700
// folder). 0 on success; ZT_ERR_INVALID_ARG for a key that is no user
// setting; ZT_ERR_UNEXPECTED when the file cannot be written, with the reason
// in *reason when given.
uint32_t writeUserSetting(const char* section, const char* key, const QString& value, QString* reason = nullptr);

// A user setting that holds a list, its entries separated by ";".
QStringList readUserList(const char* section, const char* key);
uint32_t writeUserList(const char* section, const char* key, const QStringList& entries, QString* reason = nullptr);
