#include "Utf16.h"

namespace vtoken {

bool utf8ToUtf16(const std::string& text, std::u16string* out)
{
    std::u16string result;
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        uint32_t code;
        size_t more;
        if (c < 0x80)
            code = c, more = 0;
        else if (c >= 0xc2 && c <= 0xdf)
            code = c & 0x1f, more = 1;
        else if (c >= 0xe0 && c <= 0xef)
            code = c & 0x0f, more = 2;
        else if (c >= 0xf0 && c <= 0xf4)
            code = c & 0x07, more = 3;
        else
            return false;
        if (more >= text.size() - i)
            return false;
        for (size_t k = 1; k <= more; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3f);
        }
        const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (code < minimum[more] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return false;
        if (code >= 0x10000) {
            code -= 0x10000;
            result += static_cast<char16_t>(0xd800 + (code >> 10));
            result += static_cast<char16_t>(0xdc00 + (code & 0x3ff));
        } else {
            result += static_cast<char16_t>(code);
        }
        i += more + 1;
    }
    out->swap(result);
    return true;
}

bool utf16ToUtf8(const std::u16string& text, std::string* out)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = text[i];
        if (code >= 0xd800 && code <= 0xdbff) {
            if (i + 1 >= text.size() || text[i + 1] < 0xdc00 || text[i + 1] > 0xdfff)
                return false;
            code = 0x10000 + ((code - 0xd800) << 10) + (text[i + 1] - 0xdc00);
            ++i;
        } else if (code >= 0xdc00 && code <= 0xdfff) {
            return false;
        }
        if (code < 0x80) {
            result += static_cast<char>(code);
        } else if (code < 0x800) {
            result += static_cast<char>(0xc0 | code >> 6);
            result += static_cast<char>(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            result += static_cast<char>(0xe0 | code >> 12);
            result += static_cast<char>(0x80 | (code >> 6 & 0x3f));
            result += static_cast<char>(0x80 | (code & 0x3f));
        } else {
            result += static_cast<char>(0xf0 | code >> 18);
            result += static_cast<char>(0x80 | (code >> 12 & 0x3f));
            result += static_cast<char>(0x80 | (code >> 6 & 0x3f));
            result += static_cast<char>(0x80 | (code & 0x3f));
        }
    }
    out->swap(result);
    return true;
}

}  // namespace vtoken
