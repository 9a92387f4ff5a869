#pragma once
// Copies into callers' buffers: *size in = capacity, out = length written
// without the terminator. When the text does not fit nothing is cut: the
// result is ZTUTIL_ERR_BUFFER_TOO_SMALL, *size the capacity needed (with the
// terminator) and the buffer holds an empty text if it has room for one.
#include <cstddef>
#include <cstdint>
#include <string>

uint32_t ztCopyText(const std::string& text, char* out, size_t* size);
// The same for 16-bit units.
uint32_t ztCopyUnits(const std::u16string& text, uint16_t* out, size_t* length);
