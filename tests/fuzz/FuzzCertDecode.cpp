// Any bytes through the certificate decoder and the common-name extraction:
// no crash, leak or undefined behaviour, and the texts keep their promises.
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <mbedtls/x509_crt.h>

#include "certs/CertDecode.h"
#include "bindings/ZTUtil_fundef.h"
#include "certs/x509/DnText.h"
#include "certs/x509/ZvitCert.h"

// Not loaded here: the decoder converts times itself.
PFN_ZTUtil_CovGreenwich2UnixTime ZTUtil_CovGreenwich2UnixTime = nullptr;

namespace {
void check(bool ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "broken promise: %s\n", what);
        abort();
    }
}

bool validUtf8(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<int>(s.size())).toUtf8() == QByteArray(s.data(), s.size());
}

bool asciiName(const mbedtls_x509_name* name)
{
    for (; name; name = name->next)
        for (size_t i = 0; i < name->val.len; ++i)
            if (name->val.p[i] >= 0x80)
                return false;
    return true;
}

// Where the library parses the input, our texts must be the library's.
void compareWithLibrary(const uint8_t* data, size_t size)
{
    mbedtls_x509_crt stock;
    mbedtls_x509_crt_init(&stock);
    if (mbedtls_x509_crt_parse_der(&stock, data, size) == 0) {
        ZvitCert ours;
        zvitCertInit(&ours);
        check(zvitCertParseDer(&ours, data, size) == 0, "library parses, we do not");
        for (auto pick : {&mbedtls_x509_crt::subject, &mbedtls_x509_crt::issuer}) {
            char expected[1024] = {}, got[1024] = {};
            if (asciiName(&(stock.*pick)) && mbedtls_x509_dn_gets(expected, sizeof expected, &(stock.*pick)) >= 0) {
                zvitDnGets(got, sizeof got, &(ours.crt.*pick));
                check(std::strcmp(expected, got) == 0, "name text differs from the library's");
            }
        }
        char expected[1024] = {}, got[1024] = {};
        mbedtls_x509_sig_alg_gets(expected, sizeof expected, &stock.sig_oid, stock.sig_pk, stock.sig_md,
                                  stock.sig_opts);
        zvitCertSigAlgGets(got, sizeof got, &ours);
        check(std::strcmp(expected, got) == 0, "signature text differs from the library's");
        zvitCertFree(&ours);
    }
    mbedtls_x509_crt_free(&stock);
}

void quietMessages(QtMsgType, const QMessageLogContext&, const QString&) {}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(quietMessages);
    // The empty-serial notice goes to stdout on every broken input.
    if (!freopen("/dev/null", "w", stdout))
        return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<CertRow> rows = certificateRowTexts(data, size);
    check(rows.size() == 7 || rows.size() == 8, "row count");
    for (const CertRow& row : rows) {
        check(validUtf8(row.value), "row text is not UTF-8");
        if (row.name != std::string("Detail Public Key Info"))
            check(row.value.size() < kCertTextLen, "row longer than the working buffer");
    }

    char subject[kCertNameOutLen + 1], issuer[kCertNameOutLen + 1];
    std::memset(subject, 0x7F, sizeof subject);
    std::memset(issuer, 0x7F, sizeof issuer);
    check(certCommonNames(data, size, subject, issuer, nullptr) == (size ? 1 : 0), "GetCertName result");
    if (size) {
        check(subject[kCertNameOutLen] == 0x7F && issuer[kCertNameOutLen] == 0x7F, "name past 260 bytes");
        check(validUtf8(subject) && validUtf8(issuer), "name is not UTF-8");
    }

    // The record path: certLen may claim anything.
    std::unique_ptr<_common_cert_info> record(new _common_cert_info);
    std::memset(record.get(), 0, sizeof *record);
    std::memcpy(record->certData, data, size < sizeof record->certData ? size : sizeof record->certData);
    record->certLen = size > 8 ? UINT64_MAX - size : size;
    const auto table = certificateTableRows(record.get());
    check(table.size() == 7 || table.size() == 8, "table rows");

    compareWithLibrary(data, size);
    return 0;
}
