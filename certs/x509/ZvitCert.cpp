#include "ZvitCert.h"

#include <cstdio>
#include <cstring>

#include <mbedtls/oid.h>
#include <mbedtls/platform.h>

#include "Sm2PublicKey.h"
#include "ZvitOids.h"

namespace {
void resetCert(ZvitCert* cert)
{
    mbedtls_x509_crt_free(&cert->crt);
    zvitCertInit(cert);
}

bool sameBuf(const mbedtls_x509_buf& a, const mbedtls_x509_buf& b)
{
    return a.tag == b.tag && a.len == b.len && (a.len == 0 || std::memcmp(a.p, b.p, a.len) == 0);
}

// [n] IMPLICIT unique identifier (v2 and v3 only).
int getUid(unsigned char** p, const unsigned char* end, mbedtls_x509_buf* uid, int n)
{
    if (*p == end)
        return 0;
    uid->tag = **p;
    size_t len = 0;
    int ret = mbedtls_asn1_get_tag(p, end, &len, MBEDTLS_ASN1_CONTEXT_SPECIFIC | MBEDTLS_ASN1_CONSTRUCTED | n);
    if (ret == MBEDTLS_ERR_ASN1_UNEXPECTED_TAG)
        return 0;
    if (ret != 0)
        return MBEDTLS_ERR_X509_INVALID_FORMAT + ret;
    uid->p = *p;
    uid->len = len;
    *p += len;
    return 0;
}

// Extensions are kept raw: the viewer shows none of them, but their outer
// structure must hold.
int getExtensions(unsigned char** p, const unsigned char* end, mbedtls_x509_crt* crt)
{
    if (*p == end)
        return 0;
    size_t len = 0;
    int ret = mbedtls_asn1_get_tag(p, end, &len, MBEDTLS_ASN1_CONTEXT_SPECIFIC | MBEDTLS_ASN1_CONSTRUCTED | 3);
    if (ret == MBEDTLS_ERR_ASN1_UNEXPECTED_TAG)
        return 0;
    if (ret != 0)
        return MBEDTLS_ERR_X509_INVALID_EXTENSIONS + ret;
    const unsigned char* wrapEnd = *p + len;
    crt->v3_ext.tag = MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE;
    crt->v3_ext.p = *p;
    crt->v3_ext.len = len;
    if ((ret = mbedtls_asn1_get_tag(p, wrapEnd, &len, MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE)) != 0)
        return MBEDTLS_ERR_X509_INVALID_EXTENSIONS + ret;
    if (*p + len != wrapEnd)
        return MBEDTLS_ERR_X509_INVALID_EXTENSIONS + MBEDTLS_ERR_ASN1_LENGTH_MISMATCH;
    while (*p < wrapEnd) {
        if ((ret = mbedtls_asn1_get_tag(p, wrapEnd, &len, MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE)) != 0)
            return MBEDTLS_ERR_X509_INVALID_EXTENSIONS + ret;
        *p += len;
    }
    return 0;
}

int parseTbs(ZvitCert* cert, unsigned char** p, const unsigned char* end, mbedtls_x509_buf* sigParams)
{
    mbedtls_x509_crt* crt = &cert->crt;
    size_t len = 0;
    int ret;

    int version = 0;
    ret = mbedtls_asn1_get_tag(p, end, &len, MBEDTLS_ASN1_CONTEXT_SPECIFIC | MBEDTLS_ASN1_CONSTRUCTED | 0);
    if (ret == 0) {
        const unsigned char* versionEnd = *p + len;
        if ((ret = mbedtls_asn1_get_int(p, versionEnd, &version)) != 0)
            return MBEDTLS_ERR_X509_INVALID_VERSION + ret;
        if (*p != versionEnd)
            return MBEDTLS_ERR_X509_INVALID_VERSION + MBEDTLS_ERR_ASN1_LENGTH_MISMATCH;
    } else if (ret != MBEDTLS_ERR_ASN1_UNEXPECTED_TAG) {
        return MBEDTLS_ERR_X509_INVALID_FORMAT + ret;
    }
    if (version < 0 || version > 2)
        return MBEDTLS_ERR_X509_UNKNOWN_VERSION;
    crt->version = version + 1;

    if ((ret = mbedtls_x509_get_serial(p, end, &crt->serial)) != 0 ||
        (ret = mbedtls_x509_get_alg(p, end, &crt->sig_oid, sigParams)) != 0)
        return ret;

    crt->issuer_raw.p = *p;
    if ((ret = mbedtls_asn1_get_tag(p, end, &len, MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE)) != 0)
        return MBEDTLS_ERR_X509_INVALID_FORMAT + ret;
    if ((ret = mbedtls_x509_get_name(p, *p + len, &crt->issuer)) != 0)
        return ret;
    crt->issuer_raw.len = *p - crt->issuer_raw.p;

    if ((ret = mbedtls_asn1_get_tag(p, end, &len, MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE)) != 0)
        return MBEDTLS_ERR_X509_INVALID_DATE + ret;
    const unsigned char* validityEnd = *p + len;
    if ((ret = mbedtls_x509_get_time(p, validityEnd, &crt->valid_from)) != 0 ||
        (ret = mbedtls_x509_get_time(p, validityEnd, &crt->valid_to)) != 0)
        return ret;
    if (*p != validityEnd)
        return MBEDTLS_ERR_X509_INVALID_DATE + MBEDTLS_ERR_ASN1_LENGTH_MISMATCH;

    crt->subject_raw.p = *p;
    if ((ret = mbedtls_asn1_get_tag(p, end, &len, MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE)) != 0)
        return MBEDTLS_ERR_X509_INVALID_FORMAT + ret;
    if (len > 0 && (ret = mbedtls_x509_get_name(p, *p + len, &crt->subject)) != 0)
        return ret;
    crt->subject_raw.len = *p - crt->subject_raw.p;

    // The stock reader first; keys on the SM2 curve are ours.
    crt->pk_raw.p = *p;
    unsigned char* keyStart = *p;
    if ((ret = mbedtls_pk_parse_subpubkey(p, end, &crt->pk)) == 0) {
        cert->keyPk = mbedtls_pk_get_type(&crt->pk);
    } else {
        *p = keyStart;
        if ((ret = zvitSm2ParseSubpubkey(p, end, &crt->pk)) != 0)
            return ret;
        cert->keyPk = ZVIT_PK_SM2;
    }
    crt->pk_raw.len = *p - crt->pk_raw.p;

    if (crt->version >= 2) {
        if ((ret = getUid(p, end, &crt->issuer_id, 1)) != 0 || (ret = getUid(p, end, &crt->subject_id, 2)) != 0)
            return ret;
    }
    if (crt->version == 3 && (ret = getExtensions(p, end, crt)) != 0)
        return ret;
    if (*p != end)
        return MBEDTLS_ERR_X509_INVALID_FORMAT + MBEDTLS_ERR_ASN1_LENGTH_MISMATCH;
    return 0;
}

int parseSm2Walk(ZvitCert* cert, const unsigned char* buf, size_t buflen)
{
    mbedtls_x509_crt* crt = &cert->crt;
    unsigned char* p = const_cast<unsigned char*>(buf);
    size_t len = 0;
    int ret = mbedtls_asn1_get_tag(&p, buf + buflen, &len, MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE);
    if (ret != 0)
        return MBEDTLS_ERR_X509_INVALID_FORMAT;

    // Names and buffers point into our own copy of the certificate.
    size_t rawLen = static_cast<size_t>(p - buf) + len;
    crt->raw.p = static_cast<unsigned char*>(mbedtls_calloc(1, rawLen));
    if (!crt->raw.p)
        return MBEDTLS_ERR_X509_ALLOC_FAILED;
    crt->own_buffer = 1;
    crt->raw.len = rawLen;
    std::memcpy(crt->raw.p, buf, rawLen);
    p = crt->raw.p + (p - buf);
    const unsigned char* end = crt->raw.p + rawLen;

    crt->tbs.p = p;
    if ((ret = mbedtls_asn1_get_tag(&p, end, &len, MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE)) != 0)
        return MBEDTLS_ERR_X509_INVALID_FORMAT + ret;
    const unsigned char* tbsEnd = p + len;
    crt->tbs.len = tbsEnd - crt->tbs.p;

    mbedtls_x509_buf sigParams1 = {}, sigParams2 = {}, sigOid2 = {};
    if ((ret = parseTbs(cert, &p, tbsEnd, &sigParams1)) != 0)
        return ret;
    if ((ret = mbedtls_x509_get_alg(&p, end, &sigOid2, &sigParams2)) != 0)
        return ret;
    if (!sameBuf(crt->sig_oid, sigOid2) || !sameBuf(sigParams1, sigParams2))
        return MBEDTLS_ERR_X509_SIG_MISMATCH;
    if ((ret = mbedtls_x509_get_sig(&p, end, &crt->sig)) != 0)
        return ret;
    if (p != end)
        return MBEDTLS_ERR_X509_INVALID_FORMAT + MBEDTLS_ERR_ASN1_LENGTH_MISMATCH;

    if (zvitOidEquals(kOidSm2WithSm3, crt->sig_oid.p, crt->sig_oid.len)) {
        cert->sigPk = ZVIT_PK_SM2;
        cert->sigMd = ZVIT_MD_SM3;
        return 0;
    }
    // Anything else must be a stock algorithm; then only the key was ours.
    if ((ret = mbedtls_x509_get_sig_alg(&crt->sig_oid, &sigParams1, &crt->sig_md, &crt->sig_pk, &crt->sig_opts)) != 0)
        return ret;
    cert->sigPk = crt->sig_pk;
    cert->sigMd = crt->sig_md;
    return cert->keyPk == ZVIT_PK_SM2 ? 0 : MBEDTLS_ERR_X509_FEATURE_UNAVAILABLE;
}
}  // namespace

void zvitCertInit(ZvitCert* cert)
{
    mbedtls_x509_crt_init(&cert->crt);
    cert->sigPk = MBEDTLS_PK_NONE;
    cert->sigMd = MBEDTLS_MD_NONE;
    cert->keyPk = MBEDTLS_PK_NONE;
}

void zvitCertFree(ZvitCert* cert)
{
    // The library's own free walks name chains node by node and leaves the
    // values alone: they point into raw.
    mbedtls_x509_crt_free(&cert->crt);
    zvitCertInit(cert);
}

int zvitSm2CertParseDer(ZvitCert* cert, const unsigned char* buf, size_t buflen)
{
    resetCert(cert);
    if (!buf || buflen == 0)
        return MBEDTLS_ERR_X509_BAD_INPUT_DATA;
    int ret = parseSm2Walk(cert, buf, buflen);
    if (ret != 0)
        resetCert(cert);
    return ret;
}

int zvitCertParseDer(ZvitCert* cert, const unsigned char* buf, size_t buflen)
{
    resetCert(cert);
    if (!buf || buflen == 0)
        return MBEDTLS_ERR_X509_BAD_INPUT_DATA;
    int ret = mbedtls_x509_crt_parse_der(&cert->crt, buf, buflen);
    if (ret == 0) {
        cert->sigPk = cert->crt.sig_pk;
        cert->sigMd = cert->crt.sig_md;
        cert->keyPk = mbedtls_pk_get_type(&cert->crt.pk);
        return 0;
    }
    resetCert(cert);
    int sm2 = zvitSm2CertParseDer(cert, buf, buflen);
    return sm2 == 0 ? 0 : ret;
}

int zvitCertSigAlgGets(char* buf, size_t size, const ZvitCert* cert)
{
    if (!buf || size == 0)
        return MBEDTLS_ERR_X509_BUFFER_TOO_SMALL;
    if (cert->sigPk == ZVIT_PK_SM2) {
        int n = snprintf(buf, size, "%s", ZVIT_SM2_SIG_DESCRIPTION);
        return n < 0 || static_cast<size_t>(n) >= size ? MBEDTLS_ERR_X509_BUFFER_TOO_SMALL : n;
    }
    return mbedtls_x509_sig_alg_gets(buf, size, &cert->crt.sig_oid, cert->crt.sig_pk, cert->crt.sig_md,
                                     cert->crt.sig_opts);
}

int zvitOidBySigAlg(int pkType, int mdType, const char** oid, size_t* oidLen)
{
    if (pkType == ZVIT_PK_SM2 && mdType == ZVIT_MD_SM3) {
        *oid = reinterpret_cast<const char*>(kOidSm2WithSm3);
        *oidLen = sizeof kOidSm2WithSm3;
        return 0;
    }
    if (pkType == ZVIT_PK_SM2 || mdType == ZVIT_MD_SM3)
        return MBEDTLS_ERR_OID_NOT_FOUND;
    return mbedtls_oid_get_oid_by_sig_alg(static_cast<mbedtls_pk_type_t>(pkType),
                                          static_cast<mbedtls_md_type_t>(mdType), oid, oidLen);
}
