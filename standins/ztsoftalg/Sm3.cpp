#include "Sm3.h"

#include <cstring>

namespace {

inline uint32_t rotl(uint32_t x, unsigned n)
{
    n &= 31;
    return n == 0 ? x : (x << n) | (x >> (32 - n));
}

inline uint32_t p0(uint32_t x)
{
    return x ^ rotl(x, 9) ^ rotl(x, 17);
}

inline uint32_t p1(uint32_t x)
{
    return x ^ rotl(x, 15) ^ rotl(x, 23);
}

inline uint32_t loadBigEndian(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

inline void storeBigEndian(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

}  // namespace

Sm3::Sm3()
    : m_state{0x7380166F, 0x4914B2B9, 0x172442D7, 0xDA8A0600, 0xA96F30BC, 0x163138AA, 0xE38DEE4D, 0xB0FB0E4E},
      m_buffer{}
{
}

void Sm3::compress(const uint8_t block[64])
{
    uint32_t w[68], w1[64];
    for (int j = 0; j < 16; ++j)
        w[j] = loadBigEndian(block + 4 * j);
    for (int j = 16; j < 68; ++j)
        w[j] = p1(w[j - 16] ^ w[j - 9] ^ rotl(w[j - 3], 15)) ^ rotl(w[j - 13], 7) ^ w[j - 6];
    for (int j = 0; j < 64; ++j)
        w1[j] = w[j] ^ w[j + 4];

    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    uint32_t e = m_state[4], f = m_state[5], g = m_state[6], h = m_state[7];
    for (int j = 0; j < 64; ++j) {
        uint32_t t = j < 16 ? 0x79CC4519u : 0x7A879D8Au;
        uint32_t ss1 = rotl(rotl(a, 12) + e + rotl(t, unsigned(j)), 7);
        uint32_t ss2 = ss1 ^ rotl(a, 12);
        uint32_t ff = j < 16 ? (a ^ b ^ c) : ((a & b) | (a & c) | (b & c));
        uint32_t gg = j < 16 ? (e ^ f ^ g) : ((e & f) | (~e & g));
        uint32_t tt1 = ff + d + ss2 + w1[j];
        uint32_t tt2 = gg + h + ss1 + w[j];
        d = c;
        c = rotl(b, 9);
        b = a;
        a = tt1;
        h = g;
        g = rotl(f, 19);
        f = e;
        e = p0(tt2);
    }
    m_state[0] ^= a, m_state[1] ^= b, m_state[2] ^= c, m_state[3] ^= d;
    m_state[4] ^= e, m_state[5] ^= f, m_state[6] ^= g, m_state[7] ^= h;
}

void Sm3::update(const uint8_t* data, size_t length)
{
    m_totalBytes += length;
    if (m_buffered > 0) {
        size_t take = length < 64 - m_buffered ? length : 64 - m_buffered;
        memcpy(m_buffer + m_buffered, data, take);
        m_buffered += take;
        data += take;
        length -= take;
        if (m_buffered < 64)
            return;
        compress(m_buffer);
        m_buffered = 0;
    }
    for (; length >= 64; data += 64, length -= 64)
        compress(data);
    if (length > 0) {
        memcpy(m_buffer, data, length);
        m_buffered = length;
    }
}

void Sm3::finish(uint8_t digest[kDigestSize])
{
    uint64_t bits = m_totalBytes * 8;
    uint8_t pad[72] = {0x80};
    size_t padLength = m_buffered < 56 ? 56 - m_buffered : 120 - m_buffered;
    uint8_t lengthBytes[8];
    for (int i = 0; i < 8; ++i)
        lengthBytes[i] = uint8_t(bits >> (56 - 8 * i));
    update(pad, padLength);
    update(lengthBytes, 8);
    for (int i = 0; i < 8; ++i)
        storeBigEndian(digest + 4 * i, m_state[i]);
}
