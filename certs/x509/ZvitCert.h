#pragma once
// A parsed certificate: the stock mbed TLS structure, filled by the library
// when it knows the certificate, otherwise by our reader for certificates
// that use SM2 (signature SM2 with SM3, or a key on the SM2 curve).
#include <mbedtls/x509_crt.h>

struct ZvitCert {
    mbedtls_x509_crt crt;
    int sigPk;  // mbedtls_pk_type_t, or ZVIT_PK_SM2
    int sigMd;  // mbedtls_md_type_t, or ZVIT_MD_SM3
    int keyPk;  // type of crt.pk's key: mbedtls_pk_type_t, or ZVIT_PK_SM2
};

void zvitCertInit(ZvitCert* cert);
// Parses one DER certificate from the start of buf; bytes after its outer
// SEQUENCE are ignored. 0 or an mbed TLS error; after an error the structure
// is empty again (version 0, no names, no key).
int zvitCertParseDer(ZvitCert* cert, const unsigned char* buf, size_t buflen);
void zvitCertFree(ZvitCert* cert);

// The signature algorithm's description ("RSA with SHA-256", "SM2 with SM3",
// "???" when unknown) into buf; the length written or a negative error.
int zvitCertSigAlgGets(char* buf, size_t size, const ZvitCert* cert);

// The SM2 walk alone (the fallback behind zvitCertParseDer), for tests.
int zvitSm2CertParseDer(ZvitCert* cert, const unsigned char* buf, size_t buflen);
