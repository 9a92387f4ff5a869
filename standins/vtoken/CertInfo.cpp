#include "CertInfo.h"

#include <cstdlib>
#include <mbedtls/asn1.h>
#include <mbedtls/base64.h>
#include <mbedtls/oid.h>
#include <mbedtls/platform.h>
#include <mbedtls/x509.h>

#include "Record.h"
#include "common/utf/Utf.h"

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
    if (mbedtls_asn1_get_tag(&p, tbsEnd, &length, seq) != 0)
        return false;
    *name = p;
    *nameEnd = p + length;
    return true;
}

}  // namespace

bool looksLikeCertificate(const std::vector<uint8_t>& der)
{
    unsigned char* name;
    const unsigned char* nameEnd;
    return !der.empty() && der.size() <= kMaxCertLen && findSubject(der, &name, &nameEnd);
}

namespace {

// Text of one attribute value as UTF-8; control bytes and broken sequences as '?'.
std::string valueText(const mbedtls_x509_buf& value)
{
    std::u16string wide;
    std::string raw;
    if (value.tag == MBEDTLS_ASN1_BMP_STRING) {
        for (size_t i = 0; i + 1 < value.len; i += 2)
            wide += static_cast<char16_t>(value.p[i] << 8 | value.p[i + 1]);
        if (!zvitutf::utf16ToUtf8(wide, &raw))
            raw = std::string(value.len / 2, '?');
    } else {
        raw.assign(reinterpret_cast<const char*>(value.p), value.len);
    }
    std::string out;
    for (size_t i = 0; i < raw.size();) {
        size_t length = 1;
        unsigned char c = static_cast<unsigned char>(raw[i]);
        if (c >= 0x80) {
            length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : 2;
            std::u16string check;
            if (i + length > raw.size() || !zvitutf::utf8ToUtf16(raw.substr(i, length), &check)) {
                out += '?';
                ++i;
                continue;
            }
        } else if (c < 0x20 || c == 0x7f) {
            out += '?';
            ++i;
            continue;
        }
        out += raw.substr(i, length);
        i += length;
    }
    return out;
}

}  // namespace

std::string certificateSubject(const std::vector<uint8_t>& der)
{
    unsigned char* p;
    const unsigned char* end;
    if (!findSubject(der, &p, &end) || p == end)
        return std::string();
    mbedtls_x509_name name = {};
    std::string result;
    if (mbedtls_x509_get_name(&p, end, &name) == 0) {
        bool joined = false;
        for (const mbedtls_x509_name* n = &name; n; n = n->next) {
            if (!n->oid.p)
                continue;
            if (!result.empty())
                result += joined ? " + " : ", ";
            const char* shortName = nullptr;
            if (mbedtls_oid_get_attr_short_name(&n->oid, &shortName) == 0 && shortName) {
                result += shortName;
            } else {
                char dotted[128];
                int length = mbedtls_oid_get_numeric_string(dotted, sizeof(dotted), &n->oid);
                result += length > 0 ? dotted : "?";
            }
            result += '=';
            result += valueText(n->val);
            joined = n->next_merged != 0;
        }
    }
    mbedtls_x509_name* next = name.next;
    while (next) {
        mbedtls_x509_name* after = next->next;
        mbedtls_free(next);
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
