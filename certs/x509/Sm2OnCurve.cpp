#include "Sm2OnCurve.h"

#include <cstdint>

namespace {
typedef unsigned __int128 u128;

// Little-endian 64-bit limbs. R = 2^256; -p^-1 mod 2^64 is 1 for this prime.
const uint64_t kP[4] = {0xFFFFFFFFFFFFFFFFULL, 0xFFFFFFFF00000000ULL, 0xFFFFFFFFFFFFFFFFULL, 0xFFFFFFFEFFFFFFFFULL};
const uint64_t kR2[4] = {0x0000000200000003ULL, 0x00000002FFFFFFFFULL, 0x0000000100000001ULL, 0x0000000400000002ULL};
const uint64_t kAR[4] = {0xFFFFFFFFFFFFFFFCULL, 0xFFFFFFFC00000003ULL, 0xFFFFFFFFFFFFFFFFULL, 0xFFFFFFFBFFFFFFFFULL};
const uint64_t kBR[4] = {0x90D230632BC0DD42ULL, 0x71CF379AE9B537ABULL, 0x527981505EA51C3CULL, 0x240FE188BA20E2C8ULL};

bool belowPrime(const uint64_t a[4])
{
    for (int i = 3; i >= 0; --i)
        if (a[i] != kP[i])
            return a[i] < kP[i];
    return false;
}

// r = a - p, for a >= p (or a with a carry out of its top limb).
void subtractPrime(uint64_t r[4], const uint64_t a[4])
{
    uint64_t borrow = 0;
    for (int i = 0; i < 4; ++i) {
        u128 d = static_cast<u128>(a[i]) - kP[i] - borrow;
        r[i] = static_cast<uint64_t>(d);
        borrow = static_cast<uint64_t>(d >> 64) & 1;
    }
}

// r = a * b / R mod p (CIOS), inputs below p.
void montMul(uint64_t r[4], const uint64_t a[4], const uint64_t b[4])
{
    uint64_t t[6] = {0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        u128 c = 0;
        for (int j = 0; j < 4; ++j) {
            c += static_cast<u128>(a[j]) * b[i] + t[j];
            t[j] = static_cast<uint64_t>(c);
            c >>= 64;
        }
        c += t[4];
        t[4] = static_cast<uint64_t>(c);
        t[5] = static_cast<uint64_t>(c >> 64);

        const uint64_t m = t[0];
        c = static_cast<u128>(m) * kP[0] + t[0];
        c >>= 64;
        for (int j = 1; j < 4; ++j) {
            c += static_cast<u128>(m) * kP[j] + t[j];
            t[j - 1] = static_cast<uint64_t>(c);
            c >>= 64;
        }
        c += t[4];
        t[3] = static_cast<uint64_t>(c);
        t[4] = t[5] + static_cast<uint64_t>(c >> 64);
        t[5] = 0;
    }
    if (t[4] || !belowPrime(t))
        subtractPrime(r, t);
    else
        for (int i = 0; i < 4; ++i)
            r[i] = t[i];
}

void addMod(uint64_t r[4], const uint64_t a[4], const uint64_t b[4])
{
    uint64_t sum[4];
    u128 c = 0;
    for (int i = 0; i < 4; ++i) {
        c += static_cast<u128>(a[i]) + b[i];
        sum[i] = static_cast<uint64_t>(c);
        c >>= 64;
    }
    if (c || !belowPrime(sum))
        subtractPrime(r, sum);
    else
        for (int i = 0; i < 4; ++i)
            r[i] = sum[i];
}

void fromBigEndian(uint64_t out[4], const unsigned char in[32])
{
    for (int i = 0; i < 4; ++i) {
        uint64_t limb = 0;
        for (int k = 0; k < 8; ++k)
            limb = (limb << 8) | in[(3 - i) * 8 + k];
        out[i] = limb;
    }
}
}  // namespace

bool zvitSm2PointOnCurve(const unsigned char x[32], const unsigned char y[32])
{
    uint64_t xs[4], ys[4];
    fromBigEndian(xs, x);
    fromBigEndian(ys, y);
    if (!belowPrime(xs) || !belowPrime(ys))
        return false;
    uint64_t xm[4], ym[4], lhs[4], x2[4], x3[4], ax[4], rhs[4];
    montMul(xm, xs, kR2);
    montMul(ym, ys, kR2);
    montMul(lhs, ym, ym);  // y^2
    montMul(x2, xm, xm);
    montMul(x3, x2, xm);  // x^3
    montMul(ax, kAR, xm);
    addMod(rhs, x3, ax);
    addMod(rhs, rhs, kBR);  // x^3 + ax + b
    uint64_t diff = 0;
    for (int i = 0; i < 4; ++i)
        diff |= lhs[i] ^ rhs[i];
    return diff == 0;
}
