#pragma once
// Object identifiers and type numbers of the national algorithms that the
// stock X.509 tables lack. Key and digest types extend mbedtls_pk_type_t and
// mbedtls_md_type_t with numbers those enumerations never use.
#include <cstddef>

// 1.2.156.10197.1.501 SM2-with-SM3
static const unsigned char kOidSm2WithSm3[] = {0x2A, 0x81, 0x1C, 0xCF, 0x55, 0x01, 0x83, 0x75};
// 1.2.156.10197.1.301 the SM2 prime curve
static const unsigned char kOidCurveSm2[] = {0x2A, 0x81, 0x1C, 0xCF, 0x55, 0x01, 0x82, 0x2D};
// 1.2.840.10045.2.1 id-ecPublicKey
static const unsigned char kOidEcPublicKey[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};
// 1.2.840.10045.1.1 prime-field
static const unsigned char kOidPrimeField[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x01, 0x01};

enum : int { ZVIT_PK_SM2 = 0x5302 };
enum : int { ZVIT_MD_SM3 = 0x5303 };

#define ZVIT_SM2_SIG_SHORT_NAME "SM2-with-SM3"
#define ZVIT_SM2_SIG_DESCRIPTION "SM2 with SM3"
#define ZVIT_SM2_CURVE_NAME "sm2"

template <size_t N>
inline bool zvitOidEquals(const unsigned char (&oid)[N], const unsigned char* p, size_t len)
{
    if (len != N || !p)
        return false;
    for (size_t i = 0; i < N; ++i)
        if (p[i] != oid[i])
            return false;
    return true;
}

// The signature OID of a key and digest type pair, including SM2 with SM3.
// Returns 0 and the OID's content bytes, or a negative value when unknown.
int zvitOidBySigAlg(int pkType, int mdType, const char** oid, size_t* oidLen);
