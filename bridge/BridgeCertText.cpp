#include "BridgeCertText.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <mbedtls/x509_crt.h>

#include "ZTUtil_fundef.h"

#ifdef ZVIT_BRIDGE_HAVE_X509
#include "x509/DnText.h"
#include "x509/ZvitCert.h"
#endif

namespace {

constexpr int kTextBufferSize = 1024;
constexpr int64_t kUtc8Offset = 28800;

int64_t utcSeconds(int year, int month, int day, int hour, int minute, int second)
{
    if (ZTUtil_CovGreenwich2UnixTime) {
        ZTGreenwichTime record {};
        record.year = static_cast<uint16_t>(year);
        record.month = static_cast<uint8_t>(month);
        record.day = static_cast<uint8_t>(day);
        record.hour = static_cast<uint8_t>(hour);
        record.minute = static_cast<uint8_t>(minute);
        record.second = static_cast<uint8_t>(second);
        return ZTUtil_CovGreenwich2UnixTime(&record);
    }
    struct tm t {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return static_cast<int64_t>(timegm(&t));
}

QString serialText(const mbedtls_x509_buf& serial)
{
    char buffer[kTextBufferSize] = {};
    if (serial.len > 0)
        mbedtls_x509_serial_gets(buffer, sizeof(buffer), &serial);
    QByteArray text(buffer);
    text.replace(":", "");
    if (text.isEmpty()) {
        printf("输入字符串为空\n");
        fflush(stdout);
    }
    return QString::fromUtf8(text);
}

QString dnText(const mbedtls_x509_name& name)
{
    char buffer[kTextBufferSize] = {};
#ifdef ZVIT_BRIDGE_HAVE_X509
    if (name.oid.p)
        zvitDnGets(buffer, sizeof(buffer), &name);
#else
    if (name.oid.p)
        mbedtls_x509_dn_gets(buffer, sizeof(buffer), &name);
#endif
    buffer[sizeof(buffer) - 1] = '\0';
    return QString::fromUtf8(buffer);
}

}  // namespace

QString bridgeFormatUtc8(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 60)
        return QStringLiteral("0-0-0 0:0:0\n");
    const time_t shifted = static_cast<time_t>(utcSeconds(year, month, day, hour, minute, second) + kUtc8Offset);
    struct tm wall {};
    if (!gmtime_r(&shifted, &wall))
        return QString();
    char buffer[64];
    snprintf(buffer, sizeof(buffer), "%d-%d-%d %d:%d:%d\n", wall.tm_year + 1900, wall.tm_mon + 1, wall.tm_mday,
             wall.tm_hour, wall.tm_min, wall.tm_sec);
    return QString::fromUtf8(buffer);
}

bool bridgeDecodeCertificate(const uint8_t* der, size_t length, BridgeCertTexts* texts)
{
    if (!der || length == 0 || !texts)
        return false;
#ifdef ZVIT_BRIDGE_HAVE_X509
    // Keys of the national algorithms parse too.
    ZvitCert cert;
    zvitCertInit(&cert);
    const bool parsed = zvitCertParseDer(&cert, der, length) == 0;
    const mbedtls_x509_crt& crt = cert.crt;
#else
    mbedtls_x509_crt crt;
    mbedtls_x509_crt_init(&crt);
    const bool parsed = mbedtls_x509_crt_parse_der(&crt, der, length) == 0;
#endif
    texts->serial = serialText(crt.serial);
    const mbedtls_x509_time& from = crt.valid_from;
    texts->notBefore = bridgeFormatUtc8(from.year, from.mon, from.day, from.hour, from.min, from.sec);
    texts->subject = dnText(crt.subject);
#ifdef ZVIT_BRIDGE_HAVE_X509
    zvitCertFree(&cert);
#else
    mbedtls_x509_crt_free(&crt);
#endif
    return parsed;
}
