#pragma once
// Values of the configuration file read through the utility library.
#include <QByteArray>
#include <cstdint>

// The value, or fallback when it is missing, too long or unreadable.
QByteArray readConfigString(const char* section, const char* key, const char* fallback);
uint32_t readConfigUInt(const char* section, const char* key, uint32_t fallback);
// User settings come from the user's own file first.
// Writes only user settings, into the user's own file: 0 on success.
uint32_t writeConfigUInt(const char* section, const char* key, uint32_t value);
