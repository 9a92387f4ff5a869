#include <QDebug>
#include <QLoggingCategory>

#include "CertDecode.h"

#include <array>
#include <climits>
#include <cstdio>
#include <cstring>

#include "bindings/ZTUtil_fundef.h"
#include "x509/DnText.h"
#include "x509/PublicKeyText.h"
#include "x509/ZvitCert.h"


namespace {
const char kEmptyText[] = "输入字符串为空";
const int64_t kUtc8Offset = 28800;

bool validCalendarTime(const x509_time& t)
{
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return t.year >= 0 && t.year <= 65535 && t.mon >= 1 && t.mon <= 12 && t.day >= 1 && t.day <= kDays[t.mon - 1] &&
           t.hour >= 0 && t.hour <= 23 && t.min >= 0 && t.min <= 59 && t.sec >= 0 && t.sec <= 59;
}

// Used only while the utility library is not loaded (the viewer tool).
int64_t localGreenwichToUnix(const ZTGreenwichTime& t)
{
    int64_t y = t.year - (t.month <= 2 ? 1 : 0);
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t mp = (t.month + 9) % 12;
    int64_t doy = (153 * mp + 2) / 5 + t.day - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    int64_t days = era * 146097 + doe - 719468;
    return days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

void appendNumber(std::string* out, long value, unsigned base)
{
    char digits[24];
    int n = 0;
    unsigned long magnitude = value < 0 ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        digits[n++] = "0123456789abcdef"[magnitude % base];
        magnitude /= base;
    } while (magnitude);
    if (value < 0)
        out->push_back('-');
    while (n)
        out->push_back(digits[--n]);
}

struct tm certTimeOf(const x509_crt* crt, bool notBefore)
{
    if (!crt) {
        struct tm zero;
        std::memset(&zero, 0, sizeof zero);
        return zero;
    }
    return certTimeUtc8(notBefore ? crt->valid_from : crt->valid_to);
}

}  // namespace

struct tm certTimeUtc8(const x509_time& time)
{
    struct tm result;
    std::memset(&result, 0, sizeof result);
    if (!validCalendarTime(time))
        return result;
    ZTGreenwichTime record;
    std::memset(&record, 0, sizeof record);
    record.year = static_cast<uint16_t>(time.year);
    record.month = static_cast<uint8_t>(time.mon);
    record.day = static_cast<uint8_t>(time.day);
    record.hour = static_cast<uint8_t>(time.hour);
    record.minute = static_cast<uint8_t>(time.min);
    record.second = static_cast<uint8_t>(time.sec);
    int64_t seconds = ZTUtil_CovGreenwich2UnixTime ? ZTUtil_CovGreenwich2UnixTime(&record)
                                                   : localGreenwichToUnix(record);
    if (seconds == INT64_MIN || seconds > INT64_MAX - kUtc8Offset)
        return result;
    time_t local = static_cast<time_t>(seconds + kUtc8Offset);
    struct tm converted;
    if (!gmtime_r(&local, &converted))
        return result;
    converted.tm_year += 1900;
    converted.tm_mon += 1;
    return converted;
}

namespace {
// "%d-%d-%d %d:%d:%d\n" without printf: two of these per certificate shown.
void appendCertTime(std::string* text, const struct tm& t)
{
    const int fields[] = {t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
    const char separators[] = {'-', '-', ' ', ':', ':'};
    for (int i = 0; i < 6; ++i) {
        if (i > 0)
            text->push_back(separators[i - 1]);
        appendNumber(text, fields[i], 10);
    }
    text->push_back('\n');
}
}  // namespace

std::string formatCertTime(const struct tm& t)
{
    std::string text;
    text.reserve(24);
    text.push_back(' ');
    appendCertTime(&text, t);
    return text;
}

std::string certTimeTextUtc8(const x509_time& time)
{
    std::string text;
    text.reserve(24);
    appendCertTime(&text, certTimeUtc8(time));
    return text;
}

namespace {
// mbed TLS's serial text without its colons, written here because its one
// snprintf per byte cost more than the rest of a table row: a leading zero
// byte is skipped, and a serial of more than 32 bytes shows 28 and "....".
void appendSerialText(std::string* text, const x509_buf& serial)
{
    const size_t start = text->size();
    const size_t shown = serial.len <= 32 ? serial.len : 28;
    for (size_t i = 0; i < shown; ++i) {
        if (i == 0 && shown > 1 && serial.p[0] == 0)
            continue;
        text->push_back("0123456789ABCDEF"[serial.p[i] >> 4]);
        text->push_back("0123456789ABCDEF"[serial.p[i] & 0x0f]);
    }
    if (shown != serial.len)
        *text += "....";
    if (text->size() == start)
        printf("%s\n", kEmptyText);
}
}  // namespace

std::string certSerialText(const x509_buf& serial)
{
    std::string text;
    appendSerialText(&text, serial);
    return text;
}

struct tm getNotBeforTime(x509_crt* crt)
{
    return certTimeOf(crt, true);
}

struct tm getNotAfterTime(x509_crt* crt)
{
    return certTimeOf(crt, false);
}

int removeChar(char* text, char ch)
{
    if (!text || !*text) {
        printf("%s\n", kEmptyText);
        return 0;
    }
    char* out = text;
    for (const char* in = text; *in; ++in)
        if (*in != ch)
            *out++ = *in;
    *out = '\0';
    return static_cast<int>(out - text);
}

void commonNameOfDn(const char* dnText, char* out, size_t outSize)
{
    if (!dnText || !out || outSize == 0)
        return;
    const char* start = std::strstr(dnText, "CN=");
    size_t written = 0;
    if (!start) {
        // No common name: the whole text, cut at a character boundary.
        size_t len = std::strlen(dnText);
        if (len > outSize - 1) {
            len = outSize - 1;
            while (len > 0 && (static_cast<unsigned char>(dnText[len]) & 0xC0) == 0x80)
                --len;
        }
        std::memcpy(out, dnText, len);
        out[len] = '\0';
        return;
    }
    // The value ends at the next separator the text did not escape: "," between
    // attributes, " + " inside a multi-valued RDN. Escapes are undone.
    for (const char* p = start + 3; *p && written < outSize - 1; ++p) {
        if (*p == '\\' && p[1]) {
            ++p;
        } else if (*p == ',') {
            break;
        } else if (*p == ' ' && p[1] == '+' && p[2] == ' ') {
            break;
        }
        out[written++] = *p;
    }
    out[written] = '\0';
}

void x509_cn_gets_from_dn2(char* dnText, char* out)
{
    commonNameOfDn(dnText, out, kCertNameOutLen);
}

namespace {
// The name's whole text, not cut at the viewer's 1024 bytes: a common name
// at the end of a long name must not be lost.
void storeCommonName(const x509_name* dn, char* out)
{
    if (!out)
        return;
    size_t size = 1;
    for (const x509_name* n = dn; n; n = n->next)
        size += 2 * n->val.len + 32;
    std::vector<char> text(size, '\0');
    zvitDnGets(text.data(), text.size(), dn);
    commonNameOfDn(text.data(), out, kCertNameOutLen);
}
}  // namespace

short certCommonNames(const unsigned char* der, size_t len, char* subject, char* issuer, char* subject2)
{
    if (!der || len == 0)
        return 0;
    ZvitCert cert;
    zvitCertInit(&cert);
    zvitCertParseDer(&cert, der, len);
    storeCommonName(&cert.crt.subject, subject);
    storeCommonName(&cert.crt.issuer, issuer);
    storeCommonName(&cert.crt.subject, subject2);
    zvitCertFree(&cert);
    return 1;
}

namespace {
// The viewer's row names, in the order of its rows.
enum RowName { kRowVersion, kRowSerial, kRowSigAlg, kRowIssuer, kRowFrom, kRowTo, kRowSubject, kRowPublicKey, kRowNameCount };
constexpr const char* kRowNames[kRowNameCount] = {"Version", "Serial Number", "Signature Algorithm", "Issuer", "Effective Date", "Expiry Date", "Subject", "Detail Public Key Info"};
}  // namespace

namespace {
// Hands each row to add(name, text, length) in the viewer's order, so the
// table's Qt strings are made straight from the decoded text.
template <typename Add>
bool forEachCertRow(const unsigned char* der, size_t len, Add&& add)
{
    ZvitCert cert;
    zvitCertInit(&cert);
    const int ret = zvitCertParseDer(&cert, der, len);
    const x509_crt* crt = &cert.crt;
    char buf[kCertTextLen];
    // One buffer for the rows built piece by piece.
    std::string text = "V";
    appendNumber(&text, static_cast<long>(static_cast<unsigned long>(crt->version)), 16);  // "V%lx\n"
    text.push_back('\n');
    add(kRowVersion, text.data(), text.size());

    text.clear();
    appendSerialText(&text, crt->serial);
    add(kRowSerial, text.data(), text.size());

    if (zvitCertSigAlgGets(buf, sizeof buf, &cert) < 0)
        buf[0] = '\0';
    add(kRowSigAlg, buf, std::strlen(buf));

    zvitDnGets(buf, sizeof buf, &crt->issuer);
    add(kRowIssuer, buf, std::strlen(buf));
    for (const RowName row : {kRowFrom, kRowTo}) {
        text.assign(1, ' ');
        appendCertTime(&text, certTimeUtc8(row == kRowFrom ? crt->valid_from : crt->valid_to));
        add(row, text.data(), text.size());
    }
    zvitDnGets(buf, sizeof buf, &crt->subject);
    add(kRowSubject, buf, std::strlen(buf));
    if (mbedtls_pk_get_type(&crt->pk) != MBEDTLS_PK_NONE) {
        text.clear();
        zvitAppendPublicKeyText(&text, &cert);
        add(kRowPublicKey, text.data(), text.size());
    }
    zvitCertFree(&cert);
    return ret == 0;
}
}  // namespace

std::vector<CertRow> certificateRowTexts(const unsigned char* der, size_t len, bool* parsed)
{
    std::vector<CertRow> rows;
    rows.reserve(8);
    const bool ok = forEachCertRow(der, len, [&rows](RowName name, const char* text, size_t size) {
        rows.push_back({kRowNames[name], std::string(text, size)});
    });
    if (parsed)
        *parsed = ok;
    return rows;
}

std::string certificateRowLines(const std::vector<CertRow>& rows)
{
    std::string text;
    for (const CertRow& row : rows) {
        text += row.name;
        text.push_back('\t');
        for (char c : row.value) {
            if (c == '\n')
                text += "\\n";
            else if (c == '\\')
                text += "\\\\";
            else
                text.push_back(c);
        }
        text.push_back('\n');
    }
    return text;
}

namespace {
// Made once: the viewer asks for every name with every certificate it shows.
const QString& rowNameText(RowName name)
{
    static const std::array<QString, kRowNameCount> texts = [] {
        std::array<QString, kRowNameCount> made;
        for (int i = 0; i < kRowNameCount; ++i)
            made[i] = QString::fromLatin1(kRowNames[i]);
        return made;
    }();
    return texts[name];
}
}  // namespace

QVector<QPair<QString, QString>> certificateTableRows(const _common_cert_info* record)
{
    QVector<QPair<QString, QString>> table;
    if (!record)
        return table;
    // certLen comes from the caller: never read past certData.
    size_t len = record->certLen < sizeof record->certData ? static_cast<size_t>(record->certLen)
                                                           : sizeof record->certData;
    table.reserve(8);
    // The arguments cost more than the rest of a row: convert only when shown.
    const bool debug = QLoggingCategory::defaultCategory()->isDebugEnabled();
    forEachCertRow(record->certData, len, [&table, debug](RowName name, const char* text, size_t size) {
        // Filled in place: each copy of a pair of Qt strings counts both up
        // and down atomically, a cost this table pays eight times per view.
        table.append(QPair<QString, QString>());
        QPair<QString, QString>& row = table.last();
        row.first = rowNameText(name);
        row.second = QString::fromUtf8(text, static_cast<int>(size));
        if (debug) {
            qDebug("%s", kRowNames[name]);
            qDebug("%s", std::string(text, size).c_str());
        }
    });
    return table;
}
