#include "Sm2Curve.h"

#include <cstring>

#include "ZvitOids.h"

namespace {
const char kP[] = "FFFFFFFEFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00000000FFFFFFFFFFFFFFFF";
const char kA[] = "FFFFFFFEFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00000000FFFFFFFFFFFFFFFC";
const char kB[] = "28E9FA9E9D9F5E344D5A9E4BCF6509A7F39789F515AB8F92DDBCBD414D940E93";
const char kN[] = "FFFFFFFEFFFFFFFFFFFFFFFFFFFFFFFF7203DF6B21C6052B53BBF40939D54123";
const char kGx[] = "32C4AE2C1F1981195F9904466A39C9948FE30BBFF2660BE1715A4589334C74C7";
const char kGy[] = "BC3736A2F4F6779C59BDCEE36B692153D0A9877CC62A474002DF32E52139F0A0";

bool mpiEqualsHex(const mbedtls_mpi* value, const char* hex)
{
    mbedtls_mpi expected;
    mbedtls_mpi_init(&expected);
    bool equal = mbedtls_mpi_read_string(&expected, 16, hex) == 0 && mbedtls_mpi_cmp_mpi(value, &expected) == 0;
    mbedtls_mpi_free(&expected);
    return equal;
}

// An OCTET STRING holding a field element as a big-endian integer.
bool octetsEqualHex(unsigned char** p, const unsigned char* end, const char* hex)
{
    size_t len = 0;
    if (mbedtls_asn1_get_tag(p, end, &len, MBEDTLS_ASN1_OCTET_STRING) != 0)
        return false;
    mbedtls_mpi value;
    mbedtls_mpi_init(&value);
    bool equal = mbedtls_mpi_read_binary(&value, *p, len) == 0 && mpiEqualsHex(&value, hex);
    mbedtls_mpi_free(&value);
    *p += len;
    return equal;
}

bool integerEqualsHex(unsigned char** p, const unsigned char* end, const char* hex)
{
    mbedtls_mpi value;
    mbedtls_mpi_init(&value);
    bool equal = mbedtls_asn1_get_mpi(p, end, &value) == 0 && mpiEqualsHex(&value, hex);
    mbedtls_mpi_free(&value);
    return equal;
}
}  // namespace

int zvitSm2GroupLoad(mbedtls_ecp_group* grp)
{
    int ret;
    mbedtls_ecp_group_free(grp);
    mbedtls_ecp_group_init(grp);
    if ((ret = mbedtls_mpi_read_string(&grp->P, 16, kP)) != 0 ||
        (ret = mbedtls_mpi_read_string(&grp->A, 16, kA)) != 0 ||
        (ret = mbedtls_mpi_read_string(&grp->B, 16, kB)) != 0 ||
        (ret = mbedtls_mpi_read_string(&grp->N, 16, kN)) != 0 ||
        (ret = mbedtls_ecp_point_read_string(&grp->G, 16, kGx, kGy)) != 0)
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
    if (!integerEqualsHex(&p, fieldEnd, kP) || p != fieldEnd)
        return 0;

    // Curve: a, b and an optional seed.
    if (mbedtls_asn1_get_tag(&p, end, &seqLen, MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE) != 0)
        return 0;
    const unsigned char* curveEnd = p + seqLen;
    if (!octetsEqualHex(&p, curveEnd, kA) || !octetsEqualHex(&p, curveEnd, kB))
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
    bool baseOk = mbedtls_mpi_read_binary(&coord, p + 1, 32) == 0 && mpiEqualsHex(&coord, kGx) &&
                  mbedtls_mpi_read_binary(&coord, p + 33, 32) == 0 && mpiEqualsHex(&coord, kGy);
    mbedtls_mpi_free(&coord);
    p += baseLen;
    if (!baseOk || !integerEqualsHex(&p, end, kN))
        return 0;
    if (p < end && !integerEqualsHex(&p, end, "01"))
        return 0;
    return p == end ? 1 : 0;
}
