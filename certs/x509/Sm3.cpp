#include "Sm3.h"

#include <cstring>

#include "ZvitOids.h"

namespace {
inline uint32_t rotl(uint32_t x, unsigned n)
{
    n &= 31;
    return n ? (x << n) | (x >> (32 - n)) : x;
}
inline uint32_t p0(uint32_t x) { return x ^ rotl(x, 9) ^ rotl(x, 17); }
inline uint32_t p1(uint32_t x) { return x ^ rotl(x, 15) ^ rotl(x, 23); }

void compress(uint32_t v[8], const unsigned char block[64])
{
    uint32_t w[68], w1[64];
    for (int j = 0; j < 16; ++j)
        w[j] = static_cast<uint32_t>(block[4 * j]) << 24 | static_cast<uint32_t>(block[4 * j + 1]) << 16 |
               static_cast<uint32_t>(block[4 * j + 2]) << 8 | block[4 * j + 3];
    for (int j = 16; j < 68; ++j)
        w[j] = p1(w[j - 16] ^ w[j - 9] ^ rotl(w[j - 3], 15)) ^ rotl(w[j - 13], 7) ^ w[j - 6];
    for (int j = 0; j < 64; ++j)
        w1[j] = w[j] ^ w[j + 4];

    uint32_t a = v[0], b = v[1], c = v[2], d = v[3], e = v[4], f = v[5], g = v[6], h = v[7];
    for (int j = 0; j < 64; ++j) {
        uint32_t t = j < 16 ? 0x79CC4519u : 0x7A879D8Au;
        uint32_t ss1 = rotl(rotl(a, 12) + e + rotl(t, static_cast<unsigned>(j)), 7);
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
    v[0] ^= a;
    v[1] ^= b;
    v[2] ^= c;
    v[3] ^= d;
    v[4] ^= e;
    v[5] ^= f;
    v[6] ^= g;
    v[7] ^= h;
}
}  // namespace

void zvitSm3Starts(ZvitSm3Context* ctx)
{
    static const uint32_t kIv[8] = {0x7380166Fu, 0x4914B2B9u, 0x172442D7u, 0xDA8A0600u,
                                    0xA96F30BCu, 0x163138AAu, 0xE38DEE4Du, 0xB0FB0E4Eu};
    std::memcpy(ctx->state, kIv, sizeof kIv);
    ctx->totalBytes = 0;
    ctx->blockLen = 0;
}

void zvitSm3Update(ZvitSm3Context* ctx, const unsigned char* data, size_t len)
{
    ctx->totalBytes += len;
    while (len > 0) {
        size_t take = 64 - ctx->blockLen;
        if (take > len)
            take = len;
        std::memcpy(ctx->block + ctx->blockLen, data, take);
        ctx->blockLen += take;
        data += take;
        len -= take;
        if (ctx->blockLen == 64) {
            compress(ctx->state, ctx->block);
            ctx->blockLen = 0;
        }
    }
}

void zvitSm3Finish(ZvitSm3Context* ctx, unsigned char digest[kSm3DigestLen])
{
    uint64_t bits = ctx->totalBytes * 8;
    static const unsigned char kPad[64] = {0x80};
    size_t padLen = ctx->blockLen < 56 ? 56 - ctx->blockLen : 120 - ctx->blockLen;
    unsigned char length[8];
    for (int i = 0; i < 8; ++i)
        length[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    zvitSm3Update(ctx, kPad, padLen);
    zvitSm3Update(ctx, length, 8);
    for (int i = 0; i < 8; ++i) {
        digest[4 * i] = static_cast<unsigned char>(ctx->state[i] >> 24);
        digest[4 * i + 1] = static_cast<unsigned char>(ctx->state[i] >> 16);
        digest[4 * i + 2] = static_cast<unsigned char>(ctx->state[i] >> 8);
        digest[4 * i + 3] = static_cast<unsigned char>(ctx->state[i]);
    }
}

void zvitSm3(const unsigned char* data, size_t len, unsigned char digest[kSm3DigestLen])
{
    ZvitSm3Context ctx;
    zvitSm3Starts(&ctx);
    zvitSm3Update(&ctx, data, len);
    zvitSm3Finish(&ctx, digest);
}

const ZvitMdInfo* zvitMdInfoFromType(int type)
{
    static const ZvitMdInfo kSm3 = {ZVIT_MD_SM3, "SM3", kSm3DigestLen, 64};
    return type == ZVIT_MD_SM3 ? &kSm3 : nullptr;
}
