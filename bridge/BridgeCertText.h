#pragma once
// The three certificate texts a web page can ask for.
#include <QString>
#include <cstddef>
#include <cstdint>

struct BridgeCertTexts {
    QString subject;    // distinguished-name text of the subject
    QString serial;     // upper-case hexadecimal without ":"
    QString notBefore;  // start of validity, UTC+8, "%d-%d-%d %d:%d:%d\n"
};

// Decodes one DER certificate, also one with an SM2 key. False for a null or
// empty buffer or a certificate that does not parse (its texts are then
// empty names, an empty serial and "0-0-0 0:0:0\n", which no page should be given).
bool bridgeDecodeCertificate(const uint8_t* der, size_t length, BridgeCertTexts* texts);
