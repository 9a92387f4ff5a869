#pragma once
// SubjectPublicKeyInfo of an id-ecPublicKey key on the SM2 curve (named, or
// given by explicit parameters equal to it). The key lands in an EC key
// context whose group is the SM2 curve, so the usual EC accessors read it.
#include <mbedtls/pk.h>

// *p at the SubjectPublicKeyInfo SEQUENCE; on success *p is after it.
// 0, MBEDTLS_ERR_PK_UNKNOWN_NAMED_CURVE when the key is not on SM2, or
// another mbed TLS error for malformed keys and points off the curve.
int zvitSm2ParseSubpubkey(unsigned char** p, const unsigned char* end, mbedtls_pk_context* pk);
