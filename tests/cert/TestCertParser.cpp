// The certificate parser: identical texts to the library where it knows the
// certificate, SM2 certificates where it does not, and clean refusal of
// everything broken.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <mbedtls/x509_crt.h>

#include "CertFixtures.h"
#include "certs/x509/DnText.h"
#include "certs/x509/PublicKeyText.h"
#include "certs/x509/Sm2Curve.h"
#include "certs/x509/Sm2OnCurve.h"
#include "certs/x509/Sm3.h"
#include "certs/x509/ZvitCert.h"
#include "certs/x509/ZvitOids.h"

namespace {
// Parses from a heap block of exactly the given size, so any read past it trips ASan.
int parseExact(ZvitCert* cert, const std::string& der, size_t len)
{
    std::unique_ptr<unsigned char[]> copy(new unsigned char[len ? len : 1]);
    std::memcpy(copy.get(), der.data(), len);
    return zvitCertParseDer(cert, copy.get(), len);
}

std::string dn(const mbedtls_x509_name* name, size_t size = 1024)
{
    std::vector<char> buf(size, 'X');
    size_t len = zvitDnGets(buf.data(), buf.size(), name);
    EXPECT_EQ(std::strlen(buf.data()), len);
    return std::string(buf.data(), len);
}

std::string sigAlg(const ZvitCert& cert)
{
    char buf[1024] = {};
    EXPECT_GE(zvitCertSigAlgGets(buf, sizeof buf, &cert), 0);
    return buf;
}

bool rawNameIsAscii(const mbedtls_x509_name* name)
{
    for (; name; name = name->next)
        for (size_t i = 0; i < name->val.len; ++i)
            if (name->val.p[i] >= 0x80)
                return false;
    return true;
}

void expectEmpty(const ZvitCert& cert)
{
    EXPECT_EQ(cert.crt.version, 0);
    EXPECT_EQ(cert.crt.serial.len, 0u);
    EXPECT_EQ(cert.crt.subject.oid.p, nullptr);
    EXPECT_EQ(cert.crt.issuer.next, nullptr);
    EXPECT_EQ(mbedtls_pk_get_type(&cert.crt.pk), MBEDTLS_PK_NONE);
    EXPECT_EQ(cert.sigPk, MBEDTLS_PK_NONE);
}

struct CertGuard {
    ZvitCert cert;
    CertGuard() { zvitCertInit(&cert); }
    ~CertGuard() { zvitCertFree(&cert); }
};

std::string hexOf(const std::string& bytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 15]);
    }
    return out;
}

std::string bytesOfHex(const std::string& hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// Name node over a static value, for hand-made distinguished names.
struct Attr {
    const unsigned char* oid;
    size_t oidLen;
    std::string value;
    bool mergedWithNext;
};
const unsigned char kOidCn[] = {0x55, 0x04, 0x03};
const unsigned char kOidO[] = {0x55, 0x04, 0x0A};
const unsigned char kOidUnknown[] = {0x2A, 0x03, 0x04};

class NameChain
{
public:
    explicit NameChain(std::vector<Attr> attrs) : m_attrs(std::move(attrs)), m_nodes(m_attrs.size())
    {
        for (size_t i = 0; i < m_attrs.size(); ++i) {
            mbedtls_x509_name& n = m_nodes[i];
            std::memset(&n, 0, sizeof n);
            n.oid.tag = MBEDTLS_ASN1_OID;
            n.oid.p = const_cast<unsigned char*>(m_attrs[i].oid);
            n.oid.len = m_attrs[i].oidLen;
            n.val.tag = MBEDTLS_ASN1_UTF8_STRING;
            n.val.p = reinterpret_cast<unsigned char*>(&m_attrs[i].value[0]);
            n.val.len = m_attrs[i].value.size();
            n.next_merged = m_attrs[i].mergedWithNext;
            n.next = i + 1 < m_attrs.size() ? &m_nodes[i + 1] : nullptr;
        }
    }
    const mbedtls_x509_name* head() const { return &m_nodes[0]; }

private:
    std::vector<Attr> m_attrs;
    std::vector<mbedtls_x509_name> m_nodes;
};
}  // namespace

TEST(CertParser, TextsMatchTheLibraryWhereItKnowsTheCertificate)
{
    int compared = 0;
    for (const std::string& name : fixtureNames()) {
        std::string der = fixtureDer(name);
        mbedtls_x509_crt stock;
        mbedtls_x509_crt_init(&stock);
        if (mbedtls_x509_crt_parse_der(&stock, reinterpret_cast<const unsigned char*>(der.data()), der.size()) != 0) {
            mbedtls_x509_crt_free(&stock);
            continue;
        }
        CertGuard ours;
        ASSERT_EQ(parseExact(&ours.cert, der, der.size()), 0) << name;
        EXPECT_EQ(ours.cert.crt.version, stock.version) << name;

        char expected[1024] = {};
        mbedtls_x509_serial_gets(expected, sizeof expected, &stock.serial);
        char got[1024] = {};
        mbedtls_x509_serial_gets(got, sizeof got, &ours.cert.crt.serial);
        EXPECT_STREQ(got, expected) << name;

        std::memset(expected, 0, sizeof expected);
        mbedtls_x509_sig_alg_gets(expected, sizeof expected, &stock.sig_oid, stock.sig_pk, stock.sig_md,
                                  stock.sig_opts);
        EXPECT_EQ(sigAlg(ours.cert), expected) << name;

        for (auto pick : {&mbedtls_x509_crt::subject, &mbedtls_x509_crt::issuer}) {
            std::memset(expected, 0, sizeof expected);
            if (!rawNameIsAscii(&(stock.*pick)) || mbedtls_x509_dn_gets(expected, sizeof expected, &(stock.*pick)) < 0)
                continue;
            EXPECT_EQ(dn(&(ours.cert.crt.*pick)), expected) << name;
            ++compared;
        }
        mbedtls_x509_crt_free(&stock);
    }
    EXPECT_GE(compared, 30) << "too few fixtures compared; are they built?";
}

TEST(CertParser, Sm2CertificatesParseWithTheirKeyAndSignature)
{
    struct Case {
        const char* name;
        const char* sig;
    } cases[] = {{"sm2", "SM2 with SM3"},
                 {"sm2-ca", "SM2 with SM3"},
                 {"sm2-explicit", "SM2 with SM3"},
                 {"sm2-key-rsa-signed", "RSA with SHA-256"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string der = fixtureDer(c.name);
        mbedtls_x509_crt stock;
        mbedtls_x509_crt_init(&stock);
        EXPECT_NE(mbedtls_x509_crt_parse_der(&stock, reinterpret_cast<const unsigned char*>(der.data()), der.size()),
                  0)
            << "the stock parser learned SM2; this fallback may go";
        mbedtls_x509_crt_free(&stock);

        CertGuard ours;
        ASSERT_EQ(parseExact(&ours.cert, der, der.size()), 0);
        OpensslView view = opensslView(c.name);
        EXPECT_EQ(ours.cert.crt.version, view.version);
        EXPECT_EQ(ours.cert.keyPk, ZVIT_PK_SM2);
        EXPECT_EQ(sigAlg(ours.cert), c.sig);
        EXPECT_EQ(dn(&ours.cert.crt.subject), view.subject);
        EXPECT_EQ(dn(&ours.cert.crt.issuer), view.issuer);
        std::string key = zvitPublicKeyText(&ours.cert);
        EXPECT_EQ(key.size(), 128u);
        EXPECT_EQ(key, view.pointHex);
        char serial[128] = {};
        mbedtls_x509_serial_gets(serial, sizeof serial, &ours.cert.crt.serial);
        EXPECT_EQ(normaliseSerial(serial), view.serialHex);
        if (std::string(c.sig) == "SM2 with SM3") {
            EXPECT_EQ(ours.cert.sigPk, ZVIT_PK_SM2);
            EXPECT_EQ(ours.cert.sigMd, ZVIT_MD_SM3);
        }
    }
}

TEST(CertParser, Sm2KeysOffTheCurveOrOnAnotherCurveAreRefused)
{
    std::string der = fixtureDer("sm2");
    std::string point = bytesOfHex(opensslView("sm2").pointHex);
    size_t at = der.find(point);
    ASSERT_NE(at, std::string::npos);
    std::string offCurve = der;
    offCurve[at + point.size() - 1] ^= 0x01;  // Y no longer matches X
    CertGuard cert;
    EXPECT_NE(parseExact(&cert.cert, offCurve, offCurve.size()), 0);
    expectEmpty(cert.cert);

    // Explicit parameters that differ from SM2 in b.
    std::string explicitDer = fixtureDer("sm2-explicit");
    std::string b = bytesOfHex("28E9FA9E9D9F5E344D5A9E4BCF6509A7F39789F515AB8F92DDBCBD414D940E93");
    at = explicitDer.find(b);
    ASSERT_NE(at, std::string::npos);
    explicitDer[at + 31] ^= 0x01;
    EXPECT_NE(parseExact(&cert.cert, explicitDer, explicitDer.size()), 0);
    expectEmpty(cert.cert);

    // The curve OID of SM2 with one byte changed is an unknown curve.
    std::string otherCurve = der;
    std::string curveOid(reinterpret_cast<const char*>(kOidCurveSm2), sizeof kOidCurveSm2);
    at = otherCurve.find(curveOid);
    ASSERT_NE(at, std::string::npos);
    otherCurve[at + sizeof kOidCurveSm2 - 1] ^= 0x01;
    EXPECT_NE(parseExact(&cert.cert, otherCurve, otherCurve.size()), 0);
    expectEmpty(cert.cert);
}

TEST(CertParser, ExplicitCurveGivesTheNamedCurvesGroup)
{
    CertGuard named, explicitCurve;
    std::string a = fixtureDer("sm2"), b = fixtureDer("sm2-explicit");
    ASSERT_EQ(parseExact(&named.cert, a, a.size()), 0);
    ASSERT_EQ(parseExact(&explicitCurve.cert, b, b.size()), 0);
    const mbedtls_ecp_group& g1 = mbedtls_pk_ec(named.cert.crt.pk)->grp;
    const mbedtls_ecp_group& g2 = mbedtls_pk_ec(explicitCurve.cert.crt.pk)->grp;
    EXPECT_EQ(mbedtls_mpi_cmp_mpi(&g1.P, &g2.P), 0);
    EXPECT_EQ(mbedtls_mpi_cmp_mpi(&g1.B, &g2.B), 0);
    EXPECT_EQ(mbedtls_mpi_cmp_mpi(&g1.N, &g2.N), 0);
    EXPECT_EQ(mbedtls_ecp_point_cmp(&g1.G, &g2.G), 0);
    EXPECT_EQ(g1.pbits, 256u);
    // The generator lies on the curve we built.
    EXPECT_EQ(mbedtls_ecp_check_pubkey(&g1, &g1.G), 0);
}

namespace {
int testRandom(void* state, unsigned char* out, size_t len)
{
    auto* rng = static_cast<std::mt19937*>(state);
    for (size_t i = 0; i < len; ++i)
        out[i] = static_cast<unsigned char>((*rng)());
    return 0;
}
}  // namespace

// Our fast check against the library's generic one on the same group.
TEST(CertParser, OnCurveCheckAgreesWithTheLibrary)
{
    mbedtls_ecp_group grp;
    mbedtls_ecp_group_init(&grp);
    ASSERT_EQ(zvitSm2GroupLoad(&grp), 0);
    std::mt19937 rng(3);
    mbedtls_ecp_point point;
    mbedtls_ecp_point_init(&point);
    mbedtls_mpi k;
    mbedtls_mpi_init(&k);
    auto agree = [&](const mbedtls_ecp_point& pt, bool expected) {
        unsigned char x[32], y[32];
        ASSERT_EQ(mbedtls_mpi_write_binary(&pt.X, x, 32), 0);
        ASSERT_EQ(mbedtls_mpi_write_binary(&pt.Y, y, 32), 0);
        EXPECT_EQ(zvitSm2PointOnCurve(x, y), expected);
        EXPECT_EQ(mbedtls_ecp_check_pubkey(&grp, &pt) == 0, expected);
    };
    agree(grp.G, true);
    for (int i = 0; i < 64; ++i) {
        // k * G lies on the curve; moving Y by one does not.
        unsigned char scalar[32];
        testRandom(&rng, scalar, sizeof scalar);
        scalar[0] &= 0x7F;
        ASSERT_EQ(mbedtls_mpi_read_binary(&k, scalar, sizeof scalar), 0);
        ASSERT_EQ(mbedtls_ecp_mul(&grp, &point, &k, &grp.G, testRandom, &rng), 0);
        agree(point, true);
        ASSERT_EQ(mbedtls_mpi_add_int(&point.Y, &point.Y, 1), 0);
        if (mbedtls_mpi_cmp_mpi(&point.Y, &grp.P) < 0)
            agree(point, false);
    }
    // Coordinates at or above the prime are refused, even where they would fit modulo p.
    unsigned char x[32], y[32];
    ASSERT_EQ(mbedtls_mpi_write_binary(&grp.G.X, x, 32), 0);
    ASSERT_EQ(mbedtls_mpi_write_binary(&grp.G.Y, y, 32), 0);
    unsigned char pBytes[32];
    ASSERT_EQ(mbedtls_mpi_write_binary(&grp.P, pBytes, 32), 0);
    EXPECT_FALSE(zvitSm2PointOnCurve(pBytes, y));
    unsigned char ff[32];
    std::memset(ff, 0xFF, sizeof ff);
    EXPECT_FALSE(zvitSm2PointOnCurve(x, ff));
    mbedtls_mpi_free(&k);
    mbedtls_ecp_point_free(&point);
    mbedtls_ecp_group_free(&grp);
}

TEST(CertParser, TruncatedAndCorruptedCertificatesFailCleanly)
{
    for (const char* name : {"sm2", "sm2-explicit", "rsa2048", "ecdsa-p256"}) {
        SCOPED_TRACE(name);
        std::string der = fixtureDer(name);
        CertGuard cert;
        for (size_t len = 0; len < der.size(); ++len) {
            ASSERT_NE(parseExact(&cert.cert, der, len), 0) << len;
            expectEmpty(cert.cert);
        }
        // Bytes after the certificate are not part of it.
        std::string padded = der + std::string(64, '\xA5');
        EXPECT_EQ(parseExact(&cert.cert, padded, padded.size()), 0);
        EXPECT_EQ(cert.cert.crt.raw.len, der.size());
    }

    // Every single-byte change of an SM2 certificate: parsed or refused, never a fault.
    std::string der = fixtureDer("sm2");
    CertGuard cert;
    for (size_t i = 0; i < der.size(); ++i) {
        std::string bad = der;
        bad[i] = static_cast<char>(bad[i] ^ 0x80);
        if (parseExact(&cert.cert, bad, bad.size()) != 0)
            expectEmpty(cert.cert);
    }
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        std::string noise(1 + rng() % 600, '\0');
        for (char& c : noise)
            c = static_cast<char>(rng());
        noise[0] = 0x30;
        if (parseExact(&cert.cert, noise, noise.size()) != 0)
            expectEmpty(cert.cert);
    }
    EXPECT_NE(zvitCertParseDer(&cert.cert, nullptr, 10), 0);
    expectEmpty(cert.cert);
}

TEST(DnText, KeepsUtf8AndMarksWhatIsNotText)
{
    NameChain name({{kOidCn, 3, "张三", false},
                    {kOidO, 3, std::string("a\x01" "b\x7f" "c", 5), false},
                    {kOidO, 3, "\xC2\x85x\xE4\xB8", false},  // C1 control, then a cut sequence
                    {kOidUnknown, 3, "v", false}});
    EXPECT_EQ(dn(name.head()), "CN=张三, O=a?b?c, O=?x??, ?\?=v");
}

TEST(DnText, EscapesLikeTheLibraryAndJoinsMultiValuedParts)
{
    NameChain name({{kOidO, 3, "a,b+c=d<e>f#g;h\"i\\j", true}, {kOidCn, 3, "x", false}, {kOidO, 3, "y", false}});
    EXPECT_EQ(dn(name.head()), "O=a\\,b\\+c\\=d\\<e\\>f\\#g\\;h\\\"i\\\\j + CN=x, O=y");
}

TEST(DnText, CutsLongValuesAndLongNamesAtCharacterBoundaries)
{
    // 300 bytes of value: 255 are kept, in whole characters.
    std::string longValue;
    for (int i = 0; i < 100; ++i)
        longValue += "中";
    NameChain name({{kOidCn, 3, longValue, false}, {kOidO, 3, std::string(300, 'o'), false}});
    std::string text = dn(name.head(), 4096);
    std::string expectedCn = "CN=" + longValue.substr(0, 255);
    EXPECT_EQ(text, expectedCn + ", O=" + std::string(255, 'o'));

    // A value whose escapes cross the limit loses the whole last escape.
    NameChain escapes({{kOidO, 3, std::string(200, ','), false}});
    std::string escaped = dn(escapes.head());
    EXPECT_EQ(escaped.size(), 2u + 254u);
    EXPECT_EQ(escaped.substr(escaped.size() - 2), "\\,");

    // The whole text stops where the buffer ends, never inside a character.
    for (size_t size : {1u, 2u, 4u, 5u, 6u, 7u, 8u, 260u}) {
        std::string cut = dn(name.head(), size);
        EXPECT_LE(cut.size(), size - 1);
        EXPECT_EQ(cut, text.substr(0, cut.size()));
        EXPECT_LT(text.substr(0, size - 1).size() - cut.size(), 3u);
    }
    char untouched = 'X';
    EXPECT_EQ(zvitDnGets(&untouched, 0, name.head()), 0u);
    EXPECT_EQ(untouched, 'X');
}

TEST(X509Tables, Sm2WithSm3LooksUpBothWays)
{
    const char* oid = nullptr;
    size_t len = 0;
    ASSERT_EQ(zvitOidBySigAlg(ZVIT_PK_SM2, ZVIT_MD_SM3, &oid, &len), 0);
    EXPECT_EQ(std::string(oid, len), std::string(reinterpret_cast<const char*>(kOidSm2WithSm3), sizeof kOidSm2WithSm3));
    ASSERT_EQ(zvitOidBySigAlg(MBEDTLS_PK_RSA, MBEDTLS_MD_SHA256, &oid, &len), 0);
    EXPECT_EQ(hexOf(std::string(oid, len)), "2A864886F70D01010B");
    EXPECT_NE(zvitOidBySigAlg(ZVIT_PK_SM2, MBEDTLS_MD_SHA256, &oid, &len), 0);

    const ZvitMdInfo* sm3 = zvitMdInfoFromType(ZVIT_MD_SM3);
    ASSERT_NE(sm3, nullptr);
    EXPECT_STREQ(sm3->name, "SM3");
    EXPECT_EQ(sm3->size, 32u);
    EXPECT_EQ(zvitMdInfoFromType(MBEDTLS_MD_SHA256), nullptr);
}

TEST(X509Tables, Sm3DigestsTheStandardVectorsInAnyChunking)
{
    unsigned char digest[kSm3DigestLen];
    zvitSm3(reinterpret_cast<const unsigned char*>("abc"), 3, digest);
    EXPECT_EQ(hexOf(std::string(reinterpret_cast<char*>(digest), sizeof digest)),
              "66C7F0F462EEEDD9D1F2D46BDC10E4E24167C4875CF2F7A2297DA02B8F4BA8E0");
    std::string abcd;
    for (int i = 0; i < 16; ++i)
        abcd += "abcd";
    const std::string expected = "DEBE9FF92275B8A138604889C18E5A4D6FDB70E5387E5765293DCBA39C0C5732";
    for (size_t chunk : {1u, 7u, 63u, 64u}) {
        ZvitSm3Context ctx;
        zvitSm3Starts(&ctx);
        for (size_t i = 0; i < abcd.size(); i += chunk)
            zvitSm3Update(&ctx, reinterpret_cast<const unsigned char*>(abcd.data()) + i,
                          std::min(chunk, abcd.size() - i));
        zvitSm3Finish(&ctx, digest);
        EXPECT_EQ(hexOf(std::string(reinterpret_cast<char*>(digest), sizeof digest)), expected) << chunk;
    }
}
