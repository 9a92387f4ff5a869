#pragma once
// The viewer's public-key text: RSA modulus then exponent, or the EC point's
// X then Y, each as upper-case hexadecimal over whole 64-bit words (left
// padded with zeros to a multiple of 8 bytes), without separators.
#include <string>

#include "ZvitCert.h"

// Empty when the certificate has no parsed key. Never cut, whatever the key size.
std::string zvitPublicKeyText(const ZvitCert* cert);
// The same text appended to out.
void zvitAppendPublicKeyText(std::string* out, const ZvitCert* cert);
// One integer in that form, appended to out.
void zvitAppendWordHex(std::string* out, const mbedtls_mpi* value);
