#include "Sm2PublicKey.h"

#include "Sm2Curve.h"
#include "Sm2OnCurve.h"
#include "ZvitOids.h"

int zvitSm2ParseSubpubkey(unsigned char** p, const unsigned char* end, mbedtls_pk_context* pk)
{
    size_t len = 0;
    int ret = mbedtls_asn1_get_tag(p, end, &len, MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE);
    if (ret != 0)
        return MBEDTLS_ERR_PK_KEY_INVALID_FORMAT + ret;
    unsigned char* q = *p;
    const unsigned char* spkiEnd = q + len;

    mbedtls_asn1_buf algOid, params;
    if ((ret = mbedtls_asn1_get_alg(&q, spkiEnd, &algOid, &params)) != 0)
        return MBEDTLS_ERR_PK_INVALID_ALG + ret;
    if (!zvitOidEquals(kOidEcPublicKey, algOid.p, algOid.len))
        return MBEDTLS_ERR_PK_UNKNOWN_PK_ALG;
    bool sm2 = false;
    if (params.tag == MBEDTLS_ASN1_OID)
        sm2 = zvitOidEquals(kOidCurveSm2, params.p, params.len);
    else if (params.tag == (MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE))
        sm2 = zvitSm2IsExplicitCurve(params.p, params.len) == 1;
    if (!sm2)
        return MBEDTLS_ERR_PK_UNKNOWN_NAMED_CURVE;

    if ((ret = mbedtls_asn1_get_bitstring_null(&q, spkiEnd, &len)) != 0)
        return MBEDTLS_ERR_PK_INVALID_PUBKEY + ret;
    if (q + len != spkiEnd)
        return MBEDTLS_ERR_PK_INVALID_PUBKEY + MBEDTLS_ERR_ASN1_LENGTH_MISMATCH;

    // Uncompressed points only, as the stock reader takes them.
    if (len != 65 || q[0] != 0x04)
        return len > 0 && (q[0] == 0x02 || q[0] == 0x03) ? MBEDTLS_ERR_PK_FEATURE_UNAVAILABLE
                                                         : MBEDTLS_ERR_PK_INVALID_PUBKEY;
    if (!zvitSm2PointOnCurve(q + 1, q + 33))
        return MBEDTLS_ERR_PK_INVALID_PUBKEY;

    mbedtls_pk_free(pk);
    mbedtls_pk_init(pk);
    if ((ret = mbedtls_pk_setup(pk, mbedtls_pk_info_from_type(MBEDTLS_PK_ECKEY))) != 0)
        return ret;
    mbedtls_ecp_keypair* key = mbedtls_pk_ec(*pk);
    if ((ret = zvitSm2GroupLoad(&key->grp)) != 0 ||
        (ret = mbedtls_ecp_point_read_binary(&key->grp, &key->Q, q, len)) != 0) {
        mbedtls_pk_free(pk);
        return ret == MBEDTLS_ERR_ECP_FEATURE_UNAVAILABLE ? MBEDTLS_ERR_PK_FEATURE_UNAVAILABLE
                                                          : MBEDTLS_ERR_PK_INVALID_PUBKEY;
    }
    *p = const_cast<unsigned char*>(spkiEnd);
    return 0;
}
