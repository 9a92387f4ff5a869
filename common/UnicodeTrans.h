#pragma once
// Text conversions between the 8-bit (UTF-8) and UTF-16 forms in which labels
// and names travel. Every output is bounded by the capacity the caller gives.
#include <cstddef>
#include <cstdint>

#include "ZTCommonDef.h"

// UTF-16 (0-terminated) to UTF-8; *length: in = capacity of out in bytes,
// out = bytes written (no terminator). 0x10000007 when it does not fit.
DWORD QtUTF16toUTF8(const uint16_t* text, int ignoredLength, char* out, size_t* length);
// Writes 14 bytes (no terminator) into out: first 10 characters, the 2 that
// start 5 from the end, the last 2. 1 for a null argument or a short name.
int ccidShortName(const char* readerName, char* out);
int unicodeStringCompare(const uint16_t* a, const uint16_t* b);
// In place, UTF-8 text to UTF-16 units without terminator; capacity in bytes.
// The units that do not fit are dropped, never written past the buffer.
char* charToUnicode(char* buffer, size_t capacity);
// Appends src to dest (no terminator written); destUnits is dest's capacity in
// UTF-16 units. Returns null for a null argument or when the result would not fit.
uint16_t* unicodeStringCat(uint16_t* dest, const uint16_t* src, size_t destUnits);
size_t unicodeStringLength(const uint16_t* text, size_t maxUnits);
