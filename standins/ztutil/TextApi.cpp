// Text conversions: UTF-8/UTF-16, hexadecimal, byte order.
#include <cstring>
#include <string>

#include "Export.h"
#include "OutputBuffer.h"
#include "common/utf/Utf.h"

ZTUTIL_EXPORT uint32_t ZTUtil_AnsiToUnicode(const char* text, uint16_t* out, size_t* length)
{
    if (!text || !out || !length)
        return ZTUTIL_ERR_INVALID_ARG;
    std::u16string wide;
    if (!zvitutf::utf8ToUtf16(text, &wide))
        return ZTUTIL_ERR_BAD_DATA;
    return ztCopyUnits(wide, out, length);
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_AnsiToUnicode);

ZTUTIL_EXPORT uint32_t ZTUtil_UnicodeToAnsi(const uint16_t* text, char* out, size_t* length)
{
    if (!text || !out || !length)
        return ZTUTIL_ERR_INVALID_ARG;
    std::u16string wide;
    for (const uint16_t* p = text; *p; ++p)
        wide += static_cast<char16_t>(*p);
    std::string narrow;
    if (!zvitutf::utf16ToUtf8(wide, &narrow))
        return ZTUTIL_ERR_BAD_DATA;
    return ztCopyText(narrow, out, length);
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_UnicodeToAnsi);

ZTUTIL_EXPORT uint32_t ZTUtil_SwapBytes(uint8_t* data, size_t length)
{
    if (!data && length > 0)
        return ZTUTIL_ERR_INVALID_ARG;
    for (size_t i = 0, j = length; i + 1 < j; ++i, --j) {
        uint8_t byte = data[i];
        data[i] = data[j - 1];
        data[j - 1] = byte;
    }
    return ZTUTIL_OK;
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_SwapBytes);

ZTUTIL_EXPORT uint32_t ZTUtil_AnsiToHexA(const uint8_t* data, size_t length, char* hex, size_t* size)
{
    static const char digits[] = "0123456789ABCDEF";
    if ((!data && length > 0) || !hex || !size)
        return ZTUTIL_ERR_INVALID_ARG;
    if (length > (static_cast<size_t>(-1) - 1) / 2)
        return ZTUTIL_ERR_INVALID_ARG;
    if (*size < length * 2 + 1) {
        if (*size > 0)
            hex[0] = '\0';
        *size = length * 2 + 1;
        return ZTUTIL_ERR_BUFFER_TOO_SMALL;
    }
    for (size_t i = 0; i < length; ++i) {
        hex[2 * i] = digits[data[i] >> 4];
        hex[2 * i + 1] = digits[data[i] & 0x0F];
    }
    hex[length * 2] = '\0';
    *size = length * 2;
    return ZTUTIL_OK;
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_AnsiToHexA);

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

ZTUTIL_EXPORT uint32_t ZTUtil_HexToAnsiA(const char* hex, uint8_t* data, size_t* length)
{
    if (!hex || !data || !length)
        return ZTUTIL_ERR_INVALID_ARG;
    size_t digits = strlen(hex);
    if (digits % 2 != 0)
        return ZTUTIL_ERR_BAD_DATA;
    for (size_t i = 0; i < digits; ++i)
        if (hexValue(hex[i]) < 0)
            return ZTUTIL_ERR_BAD_DATA;
    if (*length < digits / 2) {
        *length = digits / 2;
        return ZTUTIL_ERR_BUFFER_TOO_SMALL;
    }
    for (size_t i = 0; i < digits / 2; ++i)
        data[i] = static_cast<uint8_t>(hexValue(hex[2 * i]) << 4 | hexValue(hex[2 * i + 1]));
    *length = digits / 2;
    return ZTUTIL_OK;
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_HexToAnsiA);
