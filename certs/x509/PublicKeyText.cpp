#include "PublicKeyText.h"

#include <mbedtls/ecp.h>
#include <mbedtls/rsa.h>

#include "ZvitOids.h"

void zvitAppendWordHex(std::string* out, const mbedtls_mpi* value)
{
    static const char kHex[] = "0123456789ABCDEF";
    const size_t limbBytes = sizeof(mbedtls_mpi_uint);
    size_t len = (mbedtls_mpi_size(value) + 7) / 8 * 8;
    if (len == 0)
        return;
    // Straight from the limbs, most significant byte first: this runs for
    // every certificate the tree and the viewer show.
    size_t at = out->size();
    out->resize(at + 2 * len);
    char* hex = &(*out)[at];
    for (size_t i = len; i-- > 0;) {
        size_t limb = i / limbBytes;
        unsigned char b = limb < value->n ? static_cast<unsigned char>(value->p[limb] >> (8 * (i % limbBytes))) : 0;
        *hex++ = kHex[b >> 4];
        *hex++ = kHex[b & 0x0F];
    }
}

std::string zvitPublicKeyText(const ZvitCert* cert)
{
    std::string text;
    zvitAppendPublicKeyText(&text, cert);
    return text;
}

void zvitAppendPublicKeyText(std::string* text, const ZvitCert* cert)
{
    const mbedtls_pk_context& pk = cert->crt.pk;
    // The layout follows the key itself: a certificate whose issuer signs with
    // another algorithm (ECDSA over an RSA key, RSASSA-PSS) still shows its key.
    if (mbedtls_pk_can_do(&pk, MBEDTLS_PK_RSA)) {
        const mbedtls_rsa_context* rsa = mbedtls_pk_rsa(pk);
        text->reserve(text->size() + 2 * (mbedtls_mpi_size(&rsa->N) + 16));
        zvitAppendWordHex(text, &rsa->N);
        zvitAppendWordHex(text, &rsa->E);
    } else if (mbedtls_pk_can_do(&pk, MBEDTLS_PK_ECKEY)) {
        const mbedtls_ecp_keypair* key = mbedtls_pk_ec(pk);
        zvitAppendWordHex(text, &key->Q.X);
        zvitAppendWordHex(text, &key->Q.Y);
    }
}
