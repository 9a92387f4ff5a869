#include "PublicKeyText.h"

#include <vector>

#include <mbedtls/ecp.h>
#include <mbedtls/rsa.h>

#include "ZvitOids.h"

void zvitAppendWordHex(std::string* out, const mbedtls_mpi* value)
{
    static const char kHex[] = "0123456789ABCDEF";
    size_t len = (mbedtls_mpi_size(value) + 7) / 8 * 8;
    if (len == 0)
        return;
    std::vector<unsigned char> bytes(len);
    if (mbedtls_mpi_write_binary(value, bytes.data(), len) != 0)
        return;
    out->reserve(out->size() + 2 * len);
    for (unsigned char b : bytes) {
        out->push_back(kHex[b >> 4]);
        out->push_back(kHex[b & 0x0F]);
    }
}

std::string zvitPublicKeyText(const ZvitCert* cert)
{
    std::string text;
    const mbedtls_pk_context& pk = cert->crt.pk;
    // The layout follows the key itself: a certificate whose issuer signs with
    // another algorithm (ECDSA over an RSA key, RSASSA-PSS) still shows its key.
    if (mbedtls_pk_can_do(&pk, MBEDTLS_PK_RSA)) {
        mbedtls_mpi n, e;
        mbedtls_mpi_init(&n);
        mbedtls_mpi_init(&e);
        if (mbedtls_rsa_export(mbedtls_pk_rsa(pk), &n, nullptr, nullptr, nullptr, &e) == 0) {
            zvitAppendWordHex(&text, &n);
            zvitAppendWordHex(&text, &e);
        }
        mbedtls_mpi_free(&n);
        mbedtls_mpi_free(&e);
    } else if (mbedtls_pk_can_do(&pk, MBEDTLS_PK_ECKEY)) {
        const mbedtls_ecp_keypair* key = mbedtls_pk_ec(pk);
        zvitAppendWordHex(&text, &key->Q.X);
        zvitAppendWordHex(&text, &key->Q.Y);
    }
    return text;
}
