#include "Utf.h"

namespace zvitutf {

namespace {

const char32_t kReplacement = 0xFFFD;

// The code point that starts at text[i] and its length in bytes; 0 bytes when
// the sequence there is malformed.
size_t decodeUtf8(const std::string& text, size_t i, char32_t* cp)
{
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t extra;
    char32_t minimum;
    if (lead < 0x80) {
        *cp = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        *cp = lead & 0x1F, extra = 1, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        *cp = lead & 0x0F, extra = 2, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        *cp = lead & 0x07, extra = 3, minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - i - 1 < extra)
        return 0;
    for (size_t k = 1; k <= extra; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        *cp = (*cp << 6) | (next & 0x3F);
    }
    if (*cp < minimum || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF))
        return 0;
    return extra + 1;
}

void appendUtf16(char32_t cp, std::u16string* out)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        *out += static_cast<char16_t>(0xD800 + (cp >> 10));
        *out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        *out += static_cast<char16_t>(cp);
    }
}

void appendUtf8(char32_t cp, std::string* out)
{
    if (cp < 0x80) {
        *out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out += static_cast<char>(0xC0 | (cp >> 6));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out += static_cast<char>(0xE0 | (cp >> 12));
        *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (cp >> 18));
        *out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

bool utf8ToUtf16(const std::string& text, std::u16string* out, Malformed malformed)
{
    std::u16string result;
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        size_t used = decodeUtf8(text, i, &cp);
        if (used == 0) {
            if (malformed == Malformed::Refuse)
                return false;
            cp = kReplacement;
            used = 1;  // resync at the next byte
        }
        appendUtf16(cp, &result);
        i += used;
    }
    out->swap(result);
    return true;
}

bool utf16ToUtf8(const std::u16string& text, std::string* out, Malformed malformed)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        const bool high = cp >= 0xD800 && cp <= 0xDBFF;
        const bool paired = high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (paired) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (malformed == Malformed::Refuse)
                return false;
            cp = kReplacement;
        }
        appendUtf8(cp, &result);
    }
    out->swap(result);
    return true;
}

}  // namespace zvitutf
