#pragma once
// The build's certificate fixtures and what openssl says about them.
#include <string>
#include <vector>

std::string fixturePath(const std::string& file);
// DER bytes of NAME.der; fails the test when missing.
std::string fixtureDer(const std::string& name);
// Names of every fixture (NAME of NAME.der), sorted.
std::vector<std::string> fixtureNames();

// Fields of `openssl x509 -text` for one fixture.
struct OpensslView {
    int version = 0;
    std::string serialHex;   // upper case, no separators, no leading zeros ("0" for zero)
    std::string notBefore;   // "Dec 31 20:00:00 2024 GMT"
    std::string notAfter;
    std::string issuer;      // in our form: "C=CN, O=Bank"
    std::string subject;
    std::string sigAlg;      // "sha256WithRSAEncryption"
    std::string modulusHex;  // RSA: upper case, leading zero bytes dropped
    unsigned long exponent = 0;
    std::string pointHex;    // EC: the point after its 04 byte, upper case
};
OpensslView opensslView(const std::string& name);

// Serial text normalised like OpensslView::serialHex.
std::string normaliseSerial(const std::string& hex);
// An openssl time ("Dec 31 20:00:00 2024 GMT") as the viewer's UTC+8 text
// (" 2025-1-1 4:0:0\n"), computed with the C library.
std::string utc8TextOf(const std::string& opensslTime);
