#include "CertInfo.h"

#include <cstdlib>
#include <mbedtls/asn1.h>
#include <mbedtls/base64.h>
#include <mbedtls/x509.h>

#include "Record.h"

namespace vtoken {

namespace {

// Moves p past one TLV of the given tag inside [p, end).
bool skip(unsigned char** p, const unsigned char* end, int tag)
{
    size_t length;
    if (mbedtls_asn1_get_tag(p, end, &length, tag) != 0)
        return false;
    *p += length;
    return true;
}

// Points [*name, *nameEnd) at the subject Name of a certificate.
bool findSubject(const std::vector<uint8_t>& der, unsigned char** name, const unsigned char** nameEnd)
{
    unsigned char* p = const_cast<unsigned char*>(der.data());
    const unsigned char* end = der.data() + der.size();
    size_t length;
    const int seq = MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE;
    if (mbedtls_asn1_get_tag(&p, end, &length, seq) != 0 || p + length != end)
        return false;
    const unsigned char* certEnd = p + length;
    if (mbedtls_asn1_get_tag(&p, certEnd, &length, seq) != 0)
        return false;
    const unsigned char* tbsEnd = p + length;
    // The rest of the certificate: signature algorithm and signature value.
    unsigned char* rest = const_cast<unsigned char*>(tbsEnd);
    if (!skip(&rest, certEnd, seq) || !skip(&rest, certEnd, MBEDTLS_ASN1_BIT_STRING) || rest != certEnd)
        return false;
    unsigned char* version = p;
    if (!skip(&version, tbsEnd, MBEDTLS_ASN1_CONTEXT_SPECIFIC | MBEDTLS_ASN1_CONSTRUCTED | 0))
        version = p;  // v1 certificates carry no version field
    p = version;
    if (!skip(&p, tbsEnd, MBEDTLS_ASN1_INTEGER) || !skip(&p, tbsEnd, seq) || !skip(&p, tbsEnd, seq) ||
        !skip(&p, tbsEnd, seq))
        return false;  // serial, signature, issuer, validity
    unsigned char* subject = p;
    if (mbedtls_asn1_get_tag(&p, tbsEnd, &length, seq) != 0)
        return false;
    *name = p;
    *nameEnd = p + length;
    (void)subject;
    return true;
}

}  // namespace

bool looksLikeCertificate(const std::vector<uint8_t>& der)
{
    unsigned char* name;
    const unsigned char* nameEnd;
    return !der.empty() && der.size() <= kMaxCertLen && findSubject(der, &name, &nameEnd);
}

std::string certificateSubject(const std::vector<uint8_t>& der)
{
    unsigned char* p;
    const unsigned char* end;
    if (!findSubject(der, &p, &end))
        return std::string();
    mbedtls_x509_name name = {};
    std::string result;
    if (p == end) {
        return result;  // empty subject
    }
    if (mbedtls_x509_get_name(&p, end, &name) == 0) {
        char text[1024];
        int n = mbedtls_x509_dn_gets(text, sizeof(text), &name);
        if (n > 0)
            result.assign(text, static_cast<size_t>(n));
    }
    mbedtls_x509_name* next = name.next;
    while (next) {
        mbedtls_x509_name* after = next->next;
        free(next);
        next = after;
    }
    return result;
}

Status certificateFromFile(const std::string& content, std::vector<uint8_t>* der)
{
    const std::string begin = "-----BEGIN CERTIFICATE-----";
    const std::string endMark = "-----END CERTIFICATE-----";
    std::vector<uint8_t> bytes;
    size_t start = content.find(begin);
    if (start != std::string::npos) {
        start += begin.size();
        size_t stop = content.find(endMark, start);
        if (stop == std::string::npos || content.find(begin, stop) != std::string::npos)
            return Status::BadCert;  // cut off, or more than one certificate
        std::string base64;
        for (size_t i = start; i < stop; ++i) {
            char c = content[i];
            if (c != '\n' && c != '\r' && c != ' ' && c != '\t')
                base64 += c;
        }
        size_t length = 0;
        mbedtls_base64_decode(nullptr, 0, &length, reinterpret_cast<const unsigned char*>(base64.data()),
                              base64.size());
        if (length == 0 || length > 2 * kMaxCertLen)
            return Status::BadCert;
        bytes.resize(length);
        if (mbedtls_base64_decode(bytes.data(), bytes.size(), &length,
                                  reinterpret_cast<const unsigned char*>(base64.data()), base64.size()) != 0)
            return Status::BadCert;
        bytes.resize(length);
    } else {
        bytes.assign(content.begin(), content.end());
    }
    if (!looksLikeCertificate(bytes))
        return Status::BadCert;
    der->swap(bytes);
    return Status::Ok;
}

}  // namespace vtoken
