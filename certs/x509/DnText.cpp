#include "DnText.h"

#include <cstring>

#include <mbedtls/oid.h>

namespace {
// Bytes of the valid UTF-8 character at s (at most n bytes available), 0 if
// there is none. *control tells a C1 control character, which shows as "?".
size_t utf8CharLength(const unsigned char* s, size_t n, bool* control)
{
    unsigned char c = s[0];
    size_t len;
    unsigned long cp;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (len > n)
        return 0;
    for (size_t i = 1; i < len; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    static const unsigned long kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    *control = cp <= 0x9F;
    return len;
}

bool needsEscape(unsigned char c)
{
    switch (c) {
    case ',': case '=': case '+': case '<': case '>': case '#': case ';': case '"': case '\\':
        return true;
    default:
        return false;
    }
}

class Writer
{
public:
    Writer(char* buf, size_t size) : m_buf(buf), m_room(size ? size - 1 : 0) {}
    // Appends all of text or nothing.
    bool put(const char* text, size_t len)
    {
        if (len > m_room - m_len)
            return false;
        std::memcpy(m_buf + m_len, text, len);
        m_len += len;
        return true;
    }
    size_t length() const { return m_len; }

private:
    char* m_buf;
    size_t m_room;
    size_t m_len = 0;
};

// One value, escaped, at most kDnValueMax bytes. False when the whole text
// is full.
bool putValue(Writer& out, const mbedtls_x509_buf& val)
{
    size_t used = 0;
    for (size_t i = 0; i < val.len;) {
        const unsigned char c = val.p[i];
        char piece[4];
        size_t pieceLen = 1;
        size_t consumed = 1;
        if (c >= 0x80) {
            bool control = false;
            size_t n = utf8CharLength(val.p + i, val.len - i, &control);
            if (n && control) {
                piece[0] = '?';
                consumed = n;
            } else if (n) {
                std::memcpy(piece, val.p + i, n);
                pieceLen = consumed = n;
            } else {
                piece[0] = '?';
            }
        } else if (needsEscape(c)) {
            piece[0] = '\\';
            piece[1] = static_cast<char>(c);
            pieceLen = 2;
        } else {
            piece[0] = (c < 32 || c == 127) ? '?' : static_cast<char>(c);
        }
        if (used + pieceLen > kDnValueMax)
            return true;
        if (!out.put(piece, pieceLen))
            return false;
        used += pieceLen;
        i += consumed;
    }
    return true;
}
}  // namespace

size_t zvitDnGets(char* buf, size_t size, const mbedtls_x509_name* dn)
{
    if (!buf || size == 0)
        return 0;
    Writer out(buf, size);
    bool merged = false;
    for (const mbedtls_x509_name* name = dn; name; name = name->next) {
        if (!name->oid.p)
            continue;
        if (name != dn && !(merged ? out.put(" + ", 3) : out.put(", ", 2)))
            break;
        const char* shortName = nullptr;
        if (mbedtls_oid_get_attr_short_name(&name->oid, &shortName) != 0)
            shortName = "??";
        if (!out.put(shortName, std::strlen(shortName)) || !out.put("=", 1) || !putValue(out, name->val))
            break;
        merged = name->next_merged != 0;
    }
    buf[out.length()] = '\0';
    return out.length();
}
