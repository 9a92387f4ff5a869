#pragma once
// SM3 digest (GM/T 0004), the digest type of SM2 signatures.
#include <cstddef>
#include <cstdint>

constexpr size_t kSm3DigestLen = 32;

struct ZvitSm3Context {
    uint32_t state[8];
    uint64_t totalBytes;
    unsigned char block[64];
    size_t blockLen;
};

void zvitSm3Starts(ZvitSm3Context* ctx);
void zvitSm3Update(ZvitSm3Context* ctx, const unsigned char* data, size_t len);
void zvitSm3Finish(ZvitSm3Context* ctx, unsigned char digest[kSm3DigestLen]);
void zvitSm3(const unsigned char* data, size_t len, unsigned char digest[kSm3DigestLen]);

// Digest type table entry beside mbed TLS's own.
struct ZvitMdInfo {
    int type;  // ZVIT_MD_SM3
    const char* name;
    size_t size;
    size_t blockSize;
};
// The entry of a digest type only we know, null for others.
const ZvitMdInfo* zvitMdInfoFromType(int type);
