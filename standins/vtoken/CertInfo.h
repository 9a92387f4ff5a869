#pragma once
// Just enough certificate handling for the store: accept one DER or PEM
// certificate and name its subject. The signature algorithm is not parsed, so
// SM2 certificates pass as well as RSA and ECDSA ones.
#include <cstdint>
#include <string>
#include <vector>

#include "Status.h"

namespace vtoken {

// DER or PEM ("-----BEGIN CERTIFICATE-----") text of one certificate to DER
// of at most 4096 bytes. BadCert for anything else.
Status certificateFromFile(const std::string& content, std::vector<uint8_t>* der);
// True when der is exactly one well-formed X.509 certificate structure.
bool looksLikeCertificate(const std::vector<uint8_t>& der);
// Subject as "CN=..., O=..." (empty when it cannot be read).
std::string certificateSubject(const std::vector<uint8_t>& der);

}  // namespace vtoken
