#include "Encoding.h"

#include <mbedtls/sha256.h>

namespace vtoken {

std::string toHex(const uint8_t* data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 0x0f];
    }
    return out;
}

namespace {

int nibble(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

bool fromHex(const std::string& hex, std::vector<uint8_t>* out)
{
    if (hex.size() % 2 != 0)
        return false;
    std::vector<uint8_t> bytes;
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        int high = nibble(hex[i]);
        int low = nibble(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    out->swap(bytes);
    return true;
}

bool fromHex(const std::string& hex, std::string* out)
{
    std::vector<uint8_t> bytes;
    if (!fromHex(hex, &bytes))
        return false;
    out->assign(bytes.begin(), bytes.end());
    return true;
}

std::string sha256Hex(const std::string& data)
{
    uint8_t digest[32];
    mbedtls_sha256_ret(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest, 0);
    return toHex(digest, sizeof(digest));
}

}  // namespace vtoken
