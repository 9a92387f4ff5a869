#pragma once
// The 256-bit SM2 prime curve (GM/T 0003.5) as an mbed TLS group, for public
// keys only: points are read and checked, never used to sign or verify.
#include <mbedtls/asn1.h>
#include <mbedtls/ecp.h>

// Fills an initialised group with the SM2 parameters. 0 or an mbed TLS error.
int zvitSm2GroupLoad(mbedtls_ecp_group* grp);

// Explicit ECParameters (the SEQUENCE content of a SpecifiedECDomain) equal to
// the SM2 curve: 1 when they are, 0 when not or when malformed.
int zvitSm2IsExplicitCurve(const unsigned char* params, size_t len);
