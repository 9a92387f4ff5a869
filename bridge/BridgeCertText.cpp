#include "BridgeCertText.h"

#include "certs/CertDecode.h"
#include "certs/x509/DnText.h"
#include "certs/x509/ZvitCert.h"

namespace {

QString dnText(const mbedtls_x509_name& name)
{
    char buffer[kCertTextLen] = {};
    if (name.oid.p)
        zvitDnGets(buffer, sizeof(buffer), &name);
    buffer[sizeof(buffer) - 1] = '\0';
    return QString::fromUtf8(buffer);
}

}  // namespace

bool bridgeDecodeCertificate(const uint8_t* der, size_t length, BridgeCertTexts* texts)
{
    if (!der || length == 0 || !texts)
        return false;
    ZvitCert cert;
    zvitCertInit(&cert);
    const bool parsed = zvitCertParseDer(&cert, der, length) == 0;
    // Serial and time in the viewer's own words.
    texts->serial = QString::fromStdString(certSerialText(cert.crt.serial));
    texts->notBefore = QString::fromStdString(certTimeTextUtc8(cert.crt.valid_from));
    texts->subject = dnText(cert.crt.subject);
    zvitCertFree(&cert);
    return parsed;
}
