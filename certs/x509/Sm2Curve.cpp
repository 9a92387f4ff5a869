#include "Sm2Curve.h"

#include <cstring>

#include "ZvitOids.h"

namespace {

const unsigned char kPBytes[32] = {
    0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const unsigned char kABytes[32] = {
    0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFC};
const unsigned char kBBytes[32] = {
    0x28, 0xE9, 0xFA, 0x9E, 0x9D, 0x9F, 0x5E, 0x34, 0x4D, 0x5A, 0x9E, 0x4B, 0xCF, 0x65, 0x09, 0xA7,
    0xF3, 0x97, 0x89, 0xF5, 0x15, 0xAB, 0x8F, 0x92, 0xDD, 0xBC, 0xBD, 0x41, 0x4D, 0x94, 0x0E, 0x93};
const unsigned char kNBytes[32] = {
    0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0x72, 0x03, 0xDF, 0x6B, 0x21, 0xC6, 0x05, 0x2B, 0x53, 0xBB, 0xF4, 0x09, 0x39, 0xD5, 0x41, 0x23};
const unsigned char kGxBytes[32] = {
    0x32, 0xC4, 0xAE, 0x2C, 0x1F, 0x19, 0x81, 0x19, 0x5F, 0x99, 0x04, 0x46, 0x6A, 0x39, 0xC9, 0x94,
    0x8F, 0xE3, 0x0B, 0xBF, 0xF2, 0x66, 0x0B, 0xE1, 0x71, 0x5A, 0x45, 0x89, 0x33, 0x4C, 0x74, 0xC7};
const unsigned char kGyBytes[32] = {
    0xBC, 0x37, 0x36, 0xA2, 0xF4, 0xF6, 0x77, 0x9C, 0x59, 0xBD, 0xCE, 0xE3, 0x6B, 0x69, 0x21, 0x53,
    0xD0, 0xA9, 0x87, 0x7C, 0xC6, 0x2A, 0x47, 0x40, 0x02, 0xDF, 0x32, 0xE5, 0x21, 0x39, 0xF0, 0xA0};

bool mpiEquals(const mbedtls_mpi* value, const unsigned char* bytes)
{
    mbedtls_mpi expected;
    mbedtls_mpi_init(&expected);
    bool equal = mbedtls_mpi_read_binary(&expected, bytes, 32) == 0 && mbedtls_mpi_cmp_mpi(value, &expected) == 0;
    mbedtls_mpi_free(&expected);
    return equal;
}

// An OCTET STRING holding a field element as a big-endian integer.
bool octetsEqual(unsigned char** p, const unsigned char* end, const unsigned char* bytes)
{
    size_t len = 0;
    if (mbedtls_asn1_get_tag(p, end, &len, MBEDTLS_ASN1_OCTET_STRING) != 0)
        return false;
    mbedtls_mpi value;
    mbedtls_mpi_init(&value);
    bool equal = mbedtls_mpi_read_binary(&value, *p, len) == 0 && mpiEquals(&value, bytes);
    mbedtls_mpi_free(&value);
    *p += len;
    return equal;
}

bool integerEquals(unsigned char** p, const unsigned char* end, const unsigned char* bytes)
{
    mbedtls_mpi value;
    mbedtls_mpi_init(&value);
    bool equal = mbedtls_asn1_get_mpi(p, end, &value) == 0 && mpiEquals(&value, bytes);
    mbedtls_mpi_free(&value);
    return equal;
}
}  // namespace

int zvitSm2GroupLoad(mbedtls_ecp_group* grp)
{
    int ret;
    mbedtls_ecp_group_free(grp);
    mbedtls_ecp_group_init(grp);
    // From bytes: parsing hex costs more than the rest of an SM2 certificate.
    if ((ret = mbedtls_mpi_read_binary(&grp->P, kPBytes, 32)) != 0 ||
        (ret = mbedtls_mpi_read_binary(&grp->A, kABytes, 32)) != 0 ||
        (ret = mbedtls_mpi_read_binary(&grp->B, kBBytes, 32)) != 0 ||
        (ret = mbedtls_mpi_read_binary(&grp->N, kNBytes, 32)) != 0 ||
        (ret = mbedtls_mpi_read_binary(&grp->G.X, kGxBytes, 32)) != 0 ||
        (ret = mbedtls_mpi_read_binary(&grp->G.Y, kGyBytes, 32)) != 0 || (ret = mbedtls_mpi_lset(&grp->G.Z, 1)) != 0)
        return ret;
    grp->pbits = mbedtls_mpi_bitlen(&grp->P);
    grp->nbits = mbedtls_mpi_bitlen(&grp->N);
    return 0;
}

int zvitSm2IsExplicitCurve(const unsigned char* params, size_t len)
{
    unsigned char* p = const_cast<unsigned char*>(params);
    const unsigned char* end = params + len;
    int version = 0;
    if (mbedtls_asn1_get_int(&p, end, &version) != 0 || version < 1 || version > 3)
        return 0;

    // FieldID: prime-field and p.
    size_t seqLen = 0;
    if (mbedtls_asn1_get_tag(&p, end, &seqLen, MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE) != 0)
        return 0;
    const unsigned char* fieldEnd = p + seqLen;
    size_t oidLen = 0;
    if (mbedtls_asn1_get_tag(&p, fieldEnd, &oidLen, MBEDTLS_ASN1_OID) != 0 ||
        !zvitOidEquals(kOidPrimeField, p, oidLen))
        return 0;
    p += oidLen;
    if (!integerEquals(&p, fieldEnd, kPBytes) || p != fieldEnd)
        return 0;

    // Curve: a, b and an optional seed.
    if (mbedtls_asn1_get_tag(&p, end, &seqLen, MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE) != 0)
        return 0;
    const unsigned char* curveEnd = p + seqLen;
    if (!octetsEqual(&p, curveEnd, kABytes) || !octetsEqual(&p, curveEnd, kBBytes))
        return 0;
    if (p < curveEnd) {
        size_t seedLen = 0;
        if (mbedtls_asn1_get_tag(&p, curveEnd, &seedLen, MBEDTLS_ASN1_BIT_STRING) != 0)
            return 0;
        p += seedLen;
    }
    if (p != curveEnd)
        return 0;

    // Base point, uncompressed, then the order and an optional cofactor of 1.
    size_t baseLen = 0;
    if (mbedtls_asn1_get_tag(&p, end, &baseLen, MBEDTLS_ASN1_OCTET_STRING) != 0 || baseLen != 65 || p[0] != 0x04)
        return 0;
    mbedtls_mpi coord;
    mbedtls_mpi_init(&coord);
    bool baseOk = mbedtls_mpi_read_binary(&coord, p + 1, 32) == 0 && mpiEquals(&coord, kGxBytes) &&
                  mbedtls_mpi_read_binary(&coord, p + 33, 32) == 0 && mpiEquals(&coord, kGyBytes);
    mbedtls_mpi_free(&coord);
    p += baseLen;
    if (!baseOk || !integerEquals(&p, end, kNBytes))
        return 0;
    if (p < end) {
        mbedtls_mpi cofactor;
        mbedtls_mpi_init(&cofactor);
        bool one = mbedtls_asn1_get_mpi(&p, end, &cofactor) == 0 && mbedtls_mpi_cmp_int(&cofactor, 1) == 0;
        mbedtls_mpi_free(&cofactor);
        if (!one)
            return 0;
    }
    return p == end ? 1 : 0;
}
