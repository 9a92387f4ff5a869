#include "UnicodeTrans.h"

#include <cstring>
#include <string>

#include "common/utf/Utf.h"

size_t unicodeStringLength(const uint16_t* text, size_t maxUnits)
{
    size_t n = 0;
    while (text && n < maxUnits && text[n])
        ++n;
    return n;
}

DWORD QtUTF16toUTF8(const uint16_t* text, int, char* out, size_t* length)
{
    if (!text || !out || !length)
        return ZT_ERR_INVALID_ARG;
    std::string utf8;
    zvitutf::utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(text)), &utf8, zvitutf::Malformed::Replace);
    if (utf8.size() > *length)
        return ZT_ERR_INVALID_ARG;
    *length = utf8.size();
    memcpy(out, utf8.data(), *length);
    return 0;
}

int ccidShortName(const char* readerName, char* out)
{
    if (!readerName || !out)
        return 1;
    size_t len = strlen(readerName);
    if (len < 6)
        return 1;
    // Names of 6 to 9 characters leave the front part short; the rest of the
    // 10 bytes is filled with the name's end pieces as they are.
    size_t front = len < 10 ? len : 10;
    memcpy(out, readerName, front);
    memset(out + front, 0, 10 - front);
    memcpy(out + 10, readerName + len - 5, 2);
    memcpy(out + 12, readerName + len - 2, 2);
    return 0;
}

int unicodeStringCompare(const uint16_t* a, const uint16_t* b)
{
    if (!a || !b)
        return 0;
    size_t i = 0;
    for (; a[i] && b[i]; ++i) {
        if (a[i] != b[i])
            return 0;
    }
    return a[i] == b[i] ? 1 : 0;
}

char* charToUnicode(char* buffer, size_t capacity)
{
    if (!buffer || capacity == 0)
        return buffer;
    size_t len = strnlen(buffer, capacity);
    std::u16string text;
    zvitutf::utf8ToUtf16(std::string(buffer, len), &text, zvitutf::Malformed::Replace);
    size_t units = text.size();
    if (units * 2 > capacity)
        units = capacity / 2;
    memset(buffer, 0, len < capacity ? len : capacity);
    memcpy(buffer, text.data(), units * 2);
    return buffer;
}

uint16_t* unicodeStringCat(uint16_t* dest, const uint16_t* src, size_t destUnits)
{
    if (!dest || !src)
        return nullptr;
    size_t a = unicodeStringLength(dest, destUnits);
    size_t b = unicodeStringLength(src, destUnits);
    if (a + b > destUnits)
        return nullptr;
    memmove(dest + a, src, b * 2);
    return dest;
}
