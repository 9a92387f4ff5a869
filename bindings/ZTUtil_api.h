#pragma once
// Calling convention of the maker's utility library, shared by the binding and
// by our stand-in of the library. All text is 8-bit; ini paths are full paths.
#include <cstddef>
#include <cstdint>

// Result codes of the utility library (0 = success).
#define ZTUTIL_OK 0x00000000u
#define ZTUTIL_ERR_INVALID_ARG 0x2A000001u
#define ZTUTIL_ERR_BUFFER_TOO_SMALL 0x2A000002u
#define ZTUTIL_ERR_IO 0x2A000003u
#define ZTUTIL_ERR_BAD_DATA 0x2A000004u
#define ZTUTIL_ERR_NOT_FOUND 0x2A000005u
#define ZTUTIL_ERR_NOT_SUPPORTED 0x2A0000FFu

#pragma pack(push, 1)
// Calendar time handed to ZTUtil_CovGreenwich2UnixTime (8 bytes).
struct ZTGreenwichTime {
    uint16_t year;
    uint8_t month;  // 1-12
    uint8_t day;
    uint8_t reserved;
    uint8_t hour;
    uint8_t minute;
    uint8_t second;
};
#pragma pack(pop)
static_assert(sizeof(ZTGreenwichTime) == 8, "calendar record is 8 bytes");

extern "C" {
// UTF-8 <-> UTF-16 conversions. *length: in = capacity in units, out = units written
// (without terminator); the output is 0-terminated when it fits.
typedef uint32_t (*PFN_ZTUtil_AnsiToUnicode)(const char* text, uint16_t* out, size_t* length);
typedef uint32_t (*PFN_ZTUtil_UnicodeToAnsi)(const uint16_t* text, char* out, size_t* length);
// *size: in = capacity of value in bytes; out = bytes of the value without terminator.
// Outputs that do not fit are never cut: ZTUTIL_ERR_BUFFER_TOO_SMALL, *size (or
// *length) = the capacity needed including the terminator.
typedef uint32_t (*PFN_ZTUtil_GetIniStringA)(const char* section, const char* key, const char* defaultValue,
                                             char* value, size_t* size, const char* iniPath);
typedef uint32_t (*PFN_ZTUtil_WriteIniStringA)(const char* section, const char* key, const char* value,
                                               const char* iniPath);
typedef uint32_t (*PFN_ZTUtil_GetIniUIntA)(const char* section, const char* key, uint32_t defaultValue,
                                           const char* iniPath);
typedef uint32_t (*PFN_ZTUtil_WriteIniUIntA)(const char* section, const char* key, uint32_t value,
                                             const char* iniPath);
// Key names of a section as a list of 0-terminated names ended by an empty name;
// *size out = bytes of the whole list. A missing section gives the empty list.
typedef uint32_t (*PFN_ZTUtil_GetIniKeyNamesA)(const char* section, char* names, size_t* size,
                                               const char* iniPath);
typedef uint32_t (*PFN_ZTUtil_DebugTraceA)(const char* format, ...);
typedef uint32_t (*PFN_ZTUtil_SwapBytes)(uint8_t* data, size_t length);
typedef uint32_t (*PFN_ZTUtil_AnsiToHexA)(const uint8_t* data, size_t length, char* hex, size_t* size);
typedef uint32_t (*PFN_ZTUtil_HexToAnsiA)(const char* hex, uint8_t* data, size_t* length);
typedef uint32_t (*PFN_ZTUtil_GetConfigPathA)(char* path, size_t* size);
typedef uint32_t (*PFN_ZTUtil_GetCurrentLanguagePathA)(char* path, size_t* size);
typedef uint32_t (*PFN_ZTUtil_GetDisplayTextA)(const char* key, char* text, size_t* size);
typedef uint32_t (*PFN_ZTUtil_CreateGUIDA)(char* guid, size_t* size);
typedef uint32_t (*PFN_ZTUtil_GetPINDegreeA)(const char* pin, uint32_t* degree);
typedef uint32_t (*PFN_ZTUtil_GetCertPubKey)(const uint8_t* cert, size_t certLength, uint8_t* key, size_t* keyLength);
// Seconds since 1970-01-01 00:00 of the calendar time taken as UTC. An invalid
// or null record gives INT64_MIN (-1 is the real instant 1969-12-31 23:59:59).
typedef int64_t (*PFN_ZTUtil_CovGreenwich2UnixTime)(const ZTGreenwichTime* time);
}
