// The viewer's rows, common names and validity times of real certificates,
// checked against openssl's own reading of the same files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "certs/CertDecode.h"
#include "CertFixtures.h"
#include "manager/CertManager.h"
#include "TestRoot.h"
#include "bindings/ZTUtil_fundef.h"

namespace {
// One installation root and the utility library for the whole program: the
// decoder converts times through it.
class UtilLibraryEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        m_root.reset(new TestRoot);
        ASSERT_TRUE(LoadZTUtilLib()) << "stand-in utility library did not load";
    }
    void TearDown() override { m_root.reset(); }

private:
    std::unique_ptr<TestRoot> m_root;
};
const ::testing::Environment* const kUtilEnvironment =
    ::testing::AddGlobalTestEnvironment(new UtilLibraryEnvironment);

const char* const kRowNames[] = {"Version",        "Serial Number", "Signature Algorithm", "Issuer",
                                 "Effective Date", "Expiry Date",   "Subject",             "Detail Public Key Info"};

std::vector<CertRow> rowsOf(const std::string& der)
{
    std::unique_ptr<unsigned char[]> copy(new unsigned char[der.size()]);
    std::memcpy(copy.get(), der.data(), der.size());
    return certificateRowTexts(copy.get(), der.size());
}

std::string value(const std::vector<CertRow>& rows, const char* name)
{
    for (const CertRow& row : rows)
        if (std::strcmp(row.name, name) == 0)
            return row.value;
    ADD_FAILURE() << "no row " << name;
    return std::string();
}

std::string hexWords(std::string hex)
{
    while (hex.size() % 16)
        hex.insert(0, "0");
    return hex;
}

std::string exponentWords(unsigned long e)
{
    char buf[32];
    snprintf(buf, sizeof buf, "%016lX", e);
    return buf;
}

std::string signatureTextOf(const std::string& opensslName)
{
    if (opensslName == "sha256WithRSAEncryption")
        return "RSA with SHA-256";
    if (opensslName == "ecdsa-with-SHA256")
        return "ECDSA with SHA256";
    if (opensslName == "SM2-with-SM3")
        return "SM2 with SM3";
    if (opensslName == "rsassaPss")
        return "RSASSA-PSS (SHA256, MGF1-SHA256, 0x20)";
    return "unmapped " + opensslName;
}

const std::vector<std::string> kEmptyRows = {"V0\n", "", "???", "", " 0-0-0 0:0:0\n", " 0-0-0 0:0:0\n", ""};

void expectEmptyRows(const std::vector<CertRow>& rows)
{
    ASSERT_EQ(rows.size(), kEmptyRows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_STREQ(rows[i].name, kRowNames[i]);
        EXPECT_EQ(rows[i].value, kEmptyRows[i]) << rows[i].name;
    }
}

struct tm notBeforeOf(const std::string& name)
{
    std::string der = fixtureDer(name);
    struct tm before, after;
    CCertManager manager(nullptr, nullptr);
    EXPECT_EQ(manager.GetCertExpireDate(reinterpret_cast<unsigned char*>(&der[0]), der.size(), &before, &after), 1);
    return before;
}
}  // namespace

TEST(CertRows, EveryFixtureShowsWhatOpensslReads)
{
    std::vector<std::string> names = fixtureNames();
    ASSERT_GE(names.size(), 20u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        if (name == "ed25519")
            continue;  // not decodable: see UnknownAlgorithmsGiveTheEmptyRows
        std::vector<CertRow> rows = rowsOf(fixtureDer(name));
        OpensslView view = opensslView(name);
        ASSERT_EQ(rows.size(), 8u);
        for (size_t i = 0; i < rows.size(); ++i)
            EXPECT_STREQ(rows[i].name, kRowNames[i]);

        EXPECT_EQ(value(rows, "Version"), "V" + std::to_string(view.version) + "\n");
        EXPECT_EQ(normaliseSerial(value(rows, "Serial Number")), view.serialHex);
        EXPECT_EQ(value(rows, "Signature Algorithm"), signatureTextOf(view.sigAlg));
        EXPECT_EQ(value(rows, "Effective Date"), utc8TextOf(view.notBefore));
        EXPECT_EQ(value(rows, "Expiry Date"), utc8TextOf(view.notAfter));
        EXPECT_EQ(value(rows, "Issuer"), view.issuer);
        std::string subject = value(rows, "Subject");
        if (view.subject.size() < kCertTextLen) {
            EXPECT_EQ(subject, view.subject);
        } else {  // dn-long: cut to the working buffer, at a character boundary
            EXPECT_LE(subject.size(), kCertTextLen - 1);
            EXPECT_GT(subject.size(), kCertTextLen - 5);
            EXPECT_EQ(subject, view.subject.substr(0, subject.size()));
        }
        std::string key = value(rows, "Detail Public Key Info");
        if (!view.modulusHex.empty())
            EXPECT_EQ(key, hexWords(view.modulusHex) + exponentWords(view.exponent));
        else
            EXPECT_EQ(key, view.pointHex);
    }
}

TEST(CertRows, VersionSerialAndKeyTextsOfTheCommonCases)
{
    std::vector<CertRow> rsa = rowsOf(fixtureDer("rsa2048"));
    EXPECT_EQ(value(rsa, "Version"), "V3\n");
    EXPECT_EQ(value(rsa, "Signature Algorithm"), "RSA with SHA-256");
    std::string key = value(rsa, "Detail Public Key Info");
    ASSERT_EQ(key.size(), 512u + 16u);
    EXPECT_EQ(key.substr(512), "0000000000010001");
    EXPECT_EQ(key.find_first_not_of("0123456789ABCDEF"), std::string::npos);

    EXPECT_EQ(value(rowsOf(fixtureDer("v1")), "Version"), "V1\n");
    EXPECT_EQ(value(rowsOf(fixtureDer("serial-00abcd")), "Serial Number"), "ABCD");
    EXPECT_EQ(value(rowsOf(fixtureDer("serial-00")), "Serial Number"), "00");

    std::vector<CertRow> sm2 = rowsOf(fixtureDer("sm2"));
    EXPECT_EQ(value(sm2, "Signature Algorithm"), "SM2 with SM3");
    EXPECT_EQ(value(sm2, "Detail Public Key Info").size(), 128u);
    EXPECT_EQ(value(sm2, "Subject"), "C=CN, O=Zvit Test Bank, OU=Retail, CN=SM2 Holder");
}

TEST(CertRows, SerialTextIsMbedTlsTextWithoutColonsAtEveryLength)
{
    for (size_t len = 0; len <= 40; ++len) {
        for (unsigned char first : {0x00, 0x9c}) {
            std::vector<unsigned char> bytes(len);
            for (size_t i = 0; i < len; ++i)
                bytes[i] = i == 0 ? first : static_cast<unsigned char>(i * 37);
            x509_buf serial = {MBEDTLS_ASN1_INTEGER, len, len ? bytes.data() : nullptr};
            char expected[kCertTextLen] = {};
            ASSERT_GE(mbedtls_x509_serial_gets(expected, sizeof expected, &serial), 0);
            std::string withoutColons(expected);
            withoutColons.erase(std::remove(withoutColons.begin(), withoutColons.end(), ':'), withoutColons.end());
            EXPECT_EQ(certSerialText(serial), withoutColons) << len << " bytes from " << int(first);
        }
    }
}

TEST(CertRows, KeyTextIsWholeAndFollowsTheKeyNotTheSigner)
{
    // 4096-bit modulus: 1024 digits and the exponent, more than the 1024-byte working buffer.
    std::vector<CertRow> big = rowsOf(fixtureDer("rsa4096"));
    EXPECT_EQ(value(big, "Detail Public Key Info"),
              hexWords(opensslView("rsa4096").modulusHex) + "0000000000010001");
    EXPECT_EQ(value(big, "Detail Public Key Info").size(), 1040u);

    // An RSA key under an ECDSA or RSASSA-PSS signature is still shown as N and E.
    for (const char* name : {"rsa-key-ecdsa-signed", "rsa-pss"}) {
        OpensslView view = opensslView(name);
        ASSERT_FALSE(view.modulusHex.empty()) << name;
        EXPECT_EQ(value(rowsOf(fixtureDer(name)), "Detail Public Key Info"),
                  hexWords(view.modulusHex) + "0000000000010001")
            << name;
    }
    // And an SM2 key under an RSA signature as X and Y.
    EXPECT_EQ(value(rowsOf(fixtureDer("sm2-key-rsa-signed")), "Detail Public Key Info"),
              opensslView("sm2-key-rsa-signed").pointHex);
}

TEST(CertRows, UnknownAlgorithmsGiveTheEmptyRows)
{
    std::string der = fixtureDer("ed25519");
    bool parsed = true;
    testing::internal::CaptureStdout();
    std::vector<CertRow> rows = certificateRowTexts(reinterpret_cast<const unsigned char*>(der.data()), der.size(),
                                                    &parsed);
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(parsed);
    expectEmptyRows(rows);
}

TEST(CertRows, LinesEscapeLineFeedsAndBackslashes)
{
    std::vector<CertRow> rows = {{"Version", "V3\n"}, {"Subject", "O=Bank\\, Ltd"}, {"Empty", ""}};
    EXPECT_EQ(certificateRowLines(rows), "Version\tV3\\n\nSubject\tO=Bank\\\\, Ltd\nEmpty\t\n");
}

TEST(CertTimes, Utc8WallClockWithFullYearAndOneBasedMonth)
{
    std::vector<CertRow> rows = rowsOf(fixtureDer("rsa2048"));
    EXPECT_EQ(value(rows, "Effective Date"), " 2025-1-1 4:0:0\n");  // 2024-12-31 20:00:00 UTC
    struct tm t = notBeforeOf("rsa2048");
    EXPECT_EQ(t.tm_year, 2025);
    EXPECT_EQ(t.tm_mon, 1);
    EXPECT_EQ(t.tm_mday, 1);
    EXPECT_EQ(t.tm_hour, 4);
    EXPECT_EQ(t.tm_min, 0);

    // The ends of the UTCTime window and a GeneralizedTime after it.
    rows = rowsOf(fixtureDer("utc-1950-2049"));
    EXPECT_EQ(value(rows, "Effective Date"), " 1950-1-1 8:0:0\n");
    EXPECT_EQ(value(rows, "Expiry Date"), " 2050-1-1 7:59:59\n");
    EXPECT_EQ(value(rowsOf(fixtureDer("gentime-2050")), "Expiry Date"), " 2050-1-1 8:0:0\n");

    // Whatever zone the machine is in.
    const char* saved = getenv("TZ");
    std::string savedTz = saved ? saved : "";
    setenv("TZ", "America/New_York", 1);
    tzset();
    struct tm elsewhere = notBeforeOf("rsa2048");
    if (saved)
        setenv("TZ", savedTz.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    EXPECT_EQ(elsewhere.tm_year, 2025);
    EXPECT_EQ(elsewhere.tm_hour, 4);

    EXPECT_EQ(getNotBeforTime(nullptr).tm_year, 0);
    EXPECT_EQ(getNotAfterTime(nullptr).tm_mday, 0);

    // A bank page's text: the viewer's without its leading space.
    x509_time time {};
    time.year = 2024, time.mon = 12, time.day = 31, time.hour = 20;
    EXPECT_EQ(certTimeTextUtc8(time), "2025-1-1 4:0:0\n");
    time.day = 32;
    EXPECT_EQ(certTimeTextUtc8(time), "0-0-0 0:0:0\n");
}

TEST(CertRecord, NeverReadsPastCertDataAndGivesEmptyRowsForNonCertificates)
{
    std::string der = fixtureDer("sm2");
    std::unique_ptr<_common_cert_info> record(new _common_cert_info);
    std::memset(record.get(), 0, sizeof *record);
    std::memcpy(record->certData, der.data(), der.size());

    for (uint64_t len : {uint64_t(der.size()), uint64_t(4096), uint64_t(4097), uint64_t(1) << 40, UINT64_MAX}) {
        record->certLen = len;
        const auto table = certificateTableRows(record.get());
        ASSERT_EQ(table.size(), 8) << len;
        EXPECT_EQ(table[6].second, QStringLiteral("C=CN, O=Zvit Test Bank, OU=Retail, CN=SM2 Holder"));
    }

    // Truncated: the rows of the empty certificate, and the serial's notice on stdout.
    record->certLen = der.size() - 1;
    testing::internal::CaptureStdout();
    std::vector<CertRow> rows = certificateRowTexts(record->certData, der.size() - 1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("输入字符串为空"), std::string::npos);
    expectEmptyRows(rows);

    std::memset(record->certData, 0, sizeof record->certData);
    record->certLen = UINT64_MAX;
    auto table = certificateTableRows(record.get());
    ASSERT_EQ(table.size(), 7);
    EXPECT_EQ(table[0].second, QStringLiteral("V0\n"));
    EXPECT_EQ(table[2].second, QStringLiteral("???"));

    // A SEQUENCE that claims 64 KiB, with certLen claiming as much: only certData is read.
    std::memset(record->certData, 0x41, sizeof record->certData);
    const unsigned char claim[] = {0x30, 0x83, 0x01, 0x00, 0x00, 0x30, 0x83, 0x00, 0xFF, 0xF0};
    std::memcpy(record->certData, claim, sizeof claim);
    record->certLen = 0x10005;
    EXPECT_EQ(certificateTableRows(record.get()).size(), 7);

    std::string noise(4096, '\0');
    unsigned seed = 11;
    for (char& c : noise)
        c = static_cast<char>(rand_r(&seed));
    expectEmptyRows(rowsOf(noise));
    expectEmptyRows(certificateRowTexts(nullptr, 0));
    EXPECT_TRUE(certificateTableRows(nullptr).isEmpty());
}

TEST(CommonName, RuleOnDistinguishedNameTexts)
{
    struct Case {
        const char* dn;
        const char* cn;
    } cases[] = {
        {"O=Bank, CN=Key Holder, OU=Retail", "Key Holder"},
        {"C=CN, O=Bank, CN=Last One", "Last One"},
        {"C=CN, O=Bank, OU=Retail", "C=CN, O=Bank, OU=Retail"},
        {"C=CN, OU=Retail + CN=Multi, L=x", "Multi"},
        {"CN=Holder + OU=Retail, C=CN", "Holder"},      // a multi-valued RDN ends the name too
        {"O=x, CN=Smith\\, John, C=CN", "Smith, John"},  // escaped separators stay in it
        {"CN=张三", "张三"},
        {"CN=", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        char out[kCertNameOutLen];
        std::memset(out, 'X', sizeof out);
        std::string text = c.dn;
        x509_cn_gets_from_dn2(&text[0], out);
        EXPECT_STREQ(out, c.cn) << c.dn;
    }

    // A name without CN that does not fit: cut to the caller's 260 bytes, in whole characters.
    std::string longDn = "O=";
    while (longDn.size() < 1000)
        longDn += "中国银行";
    char out[kCertNameOutLen + 16];
    std::memset(out, 'X', sizeof out);
    x509_cn_gets_from_dn2(&longDn[0], out);
    size_t len = std::strlen(out);
    EXPECT_LE(len, kCertNameOutLen - 1);
    EXPECT_GE(len, kCertNameOutLen - 4);
    EXPECT_EQ(std::string(out), longDn.substr(0, len));
    EXPECT_EQ(out[kCertNameOutLen], 'X');

    char untouched[4] = "abc";
    x509_cn_gets_from_dn2(nullptr, untouched);
    EXPECT_STREQ(untouched, "abc");
    x509_cn_gets_from_dn2(&longDn[0], nullptr);
}

TEST(CommonName, RemoveCharEditsInPlace)
{
    char serial[] = "00:AB:CD";
    EXPECT_EQ(removeChar(serial, ':'), 6);
    EXPECT_STREQ(serial, "00ABCD");
    char plain[] = "ABCD";
    EXPECT_EQ(removeChar(plain, ':'), 4);
    EXPECT_STREQ(plain, "ABCD");
    char empty[] = "";
    testing::internal::CaptureStdout();
    removeChar(empty, ':');
    removeChar(nullptr, ':');
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "输入字符串为空\n输入字符串为空\n");
}

TEST(CertName, SubjectAndIssuerCommonNamesOfFixtures)
{
    struct Case {
        const char* name;
        const char* subject;
    } cases[] = {
        {"dn-cn-middle", "Key Holder"},
        {"dn-no-cn", "C=CN, O=Zvit Test Bank, OU=Retail"},
        {"dn-multi-rdn", "Multi Holder"},
        {"dn-utf8", "张三"},
        {"dn-escaped", "Smith, John"},
        {"dn-long", "Long Name Holder"},  // after more than 1024 bytes of name text
        {"sm2", "SM2 Holder"},
        {"sm2-explicit", "SM2 Explicit Curve"},
    };
    CCertManager manager(nullptr, nullptr);
    for (const Case& c : cases) {
        std::string der = fixtureDer(c.name);
        char subject[512] = {}, issuer[512] = {}, subject2[260] = {};
        EXPECT_EQ(manager.GetCertName(reinterpret_cast<unsigned char*>(&der[0]), der.size(), subject, issuer,
                                      subject2),
                  1);
        EXPECT_STREQ(subject, c.subject) << c.name;
        EXPECT_STREQ(subject2, c.subject) << c.name;
        EXPECT_STRNE(issuer, "") << c.name;
    }
    std::string der = fixtureDer("sm2");
    char issuer[512] = {};
    EXPECT_EQ(manager.GetCertName(reinterpret_cast<unsigned char*>(&der[0]), der.size(), nullptr, issuer, nullptr), 1);
    EXPECT_STREQ(issuer, "Zvit Test SM2 Root");
}

TEST(CertName, EmptyInputWritesNothingAndBrokenInputGivesEmptyNames)
{
    CCertManager manager(nullptr, nullptr);
    char subject[260];
    std::memset(subject, 'X', sizeof subject);
    unsigned char byte = 0x30;
    EXPECT_EQ(manager.GetCertName(nullptr, 100, subject, nullptr, nullptr), 0);
    EXPECT_EQ(manager.GetCertName(&byte, 0, subject, nullptr, nullptr), 0);
    EXPECT_EQ(subject[0], 'X');

    std::string der = fixtureDer("rsa2048");
    std::unique_ptr<unsigned char[]> truncated(new unsigned char[der.size() / 2]);
    std::memcpy(truncated.get(), der.data(), der.size() / 2);
    char issuer[260];
    std::memset(issuer, 'X', sizeof issuer);
    EXPECT_EQ(manager.GetCertName(truncated.get(), der.size() / 2, subject, issuer, nullptr), 1);
    EXPECT_STREQ(subject, "");
    EXPECT_STREQ(issuer, "");

    struct tm before, after;
    EXPECT_EQ(manager.GetCertExpireDate(truncated.get(), der.size() / 2, &before, &after), 1);
    EXPECT_EQ(before.tm_year, 0);
    EXPECT_EQ(after.tm_mon, 0);
}
