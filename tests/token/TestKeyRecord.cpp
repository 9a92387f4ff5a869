// The record text that every process of the store reads: exact bytes, and
// every kind of damage refused.
#include <gtest/gtest.h>

#include <mbedtls/sha256.h>

#include "standins/vtoken/Record.h"
#include "common/utf/Utf.h"

using namespace vtoken;

namespace {

std::string sha256(const std::string& data)
{
    unsigned char digest[32];
    mbedtls_sha256_ret(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest, 0);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned char b : digest) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

std::string withChecksum(const std::string& body)
{
    return body + "checksum " + sha256(body) + "\n";
}

KeyRecord sampleRecord()
{
    KeyRecord r;
    r.serial = "K-0001_a";
    r.deviceName = deviceNameFor(r.serial);
    r.label = "Ключ 1";
    r.userPin.iterations = 3;
    r.userPin.salt.assign(16, 0x11);
    r.userPin.hash.assign(32, 0x22);
    r.userPin.attemptsLeft = 7;
    r.userPin.maxAttempts = 10;
    r.adminPin.iterations = 4;
    r.adminPin.salt.assign(16, 0xab);
    r.adminPin.hash.assign(32, 0xcd);
    r.adminPin.attemptsLeft = 10;
    r.adminPin.maxAttempts = 10;
    r.pinChanged = true;
    r.initialised = true;
    r.plugged = true;
    r.slot = 3;
    Container rsa;
    rsa.name = "main";
    rsa.type = KeyType::Rsa;
    rsa.signatureCert = {0x30, 0x01, 0x00};
    Container sm2;
    sm2.name = "国密";
    sm2.type = KeyType::Sm2;
    sm2.exchangeCert = {0x30, 0x02, 0xff, 0x00};
    sm2.signatureCert = {0x30, 0x00};
    r.containers = {rsa, sm2};
    return r;
}

// The body of sampleRecord() written out by hand.
std::string sampleBody()
{
    return "ZVIT-VKEY 1\n"
           "serial K-0001_a\n"
           "device-name 5a56495420564b6579204b2d303030315f61\n"
           "label d09ad0bbd18ed1872031\n"
           "manufacturer 5a656e76697420436f2e2c4c74642e\n"
           "model 5669727475616c204b6579\n"
           "versions 1.0 1.0\n"
           "user-pin 3 " +
           std::string(32, '1') + " " + std::string(64, '2') + " 7 10\n"
           "admin-pin 4 abababababababababababababababab "
           "cdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcdcd 10 10\n"
           "flags 1 1\n"
           "plugged 1 3\n"
           "containers 2\n"
           "container rsa 6d61696e - 300100\n"
           "container sm2 e59bbde5af86 3002ff00 3000\n";
}

TEST(KeyRecord, WritesTheDocumentedBytesAndReadsThemBack)
{
    const KeyRecord record = sampleRecord();
    const std::string text = serializeRecord(record);
    EXPECT_EQ(withChecksum(sampleBody()), text);

    KeyRecord parsed;
    ASSERT_EQ(Status::Ok, parseRecord(text, &parsed));
    EXPECT_EQ(record.serial, parsed.serial);
    EXPECT_EQ(record.label, parsed.label);
    EXPECT_EQ(record.userPin.salt, parsed.userPin.salt);
    EXPECT_EQ(7, parsed.userPin.attemptsLeft);
    EXPECT_EQ(3, parsed.slot);
    ASSERT_EQ(2u, parsed.containers.size());
    EXPECT_EQ(KeyType::Sm2, parsed.containers[1].type);
    EXPECT_EQ("国密", parsed.containers[1].name);
    EXPECT_TRUE(parsed.containers[0].exchangeCert.empty());
    EXPECT_EQ(record.containers[1].exchangeCert, parsed.containers[1].exchangeCert);
    // Writing what was read gives the same bytes: nothing is lost on an update.
    EXPECT_EQ(text, serializeRecord(parsed));
}

TEST(KeyRecord, AnyChangedByteOrCutMakesTheRecordDamaged)
{
    const std::string text = serializeRecord(sampleRecord());
    KeyRecord parsed;
    for (size_t i = 0; i < text.size(); ++i) {
        std::string changed = text;
        changed[i] = static_cast<char>(changed[i] ^ 0x01);
        ASSERT_EQ(Status::Damaged, parseRecord(changed, &parsed)) << "byte " << i;
    }
    for (size_t length = 0; length < text.size(); ++length)
        ASSERT_EQ(Status::Damaged, parseRecord(text.substr(0, length), &parsed)) << "cut at " << length;
    EXPECT_EQ(Status::Damaged, parseRecord(text + "x", &parsed));
    EXPECT_EQ(Status::Damaged, parseRecord(text + text, &parsed));
}

TEST(KeyRecord, WellSealedRecordsWithFieldsOutsideTheirRulesAreDamaged)
{
    const std::string body = sampleBody();
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string changed = body;
        size_t at = changed.find(from);
        EXPECT_NE(std::string::npos, at) << from;
        return withChecksum(changed.replace(at, from.size(), to));
    };
    KeyRecord parsed;
    ASSERT_EQ(Status::Ok, parseRecord(withChecksum(body), &parsed));
    EXPECT_EQ(Status::Ok, parseRecord(replaced("user-pin 3 ", "user-pin 1000000 "), &parsed));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"ZVIT-VKEY 1", "ZVIT-VKEY 2"},
        {"plugged 1 3", "plugged 1 4"},        // slot beyond the registry
        {"plugged 1 3", "plugged 1 -1"},       // plugged without a slot
        {"plugged 1 3", "plugged 0 2"},        // a slot without being plugged
        {" 7 10\n", " 11 10\n"},               // more attempts left than allowed
        {" 7 10\n", " 7 0\n"},
        {" 7 10\n", " 07 10\n"},
        {"user-pin 3 ", "user-pin 0 "},
        {"user-pin 3 ", "user-pin 1000001 "},  // a PIN check would take seconds
        {"label d09a", "label 09"},            // a control character in the label
        {"label d09a", "label c0af"},          // overlong UTF-8
        {"label d09ad0bbd18ed1872031", "label "},
        {"containers 2", "containers 3"},
        {"containers 2", "containers 1"},
        {"container rsa", "container dsa"},
        {"serial K-0001_a", "serial K/0001"},
        {"flags 1 1", "flags 2 1"},
        {"versions 1.0 1.0", "versions 1.0 256.0"},
        {"- 300100", "- 30010"},               // odd hex
        {"- 300100", "- 3001GG"},
        {"- 300100", "-  300100"},             // two blanks
        {"6d61696e", "6D61696E"},              // upper-case hex is not written by the store
    };
    for (const auto& c : cases)
        EXPECT_EQ(Status::Damaged, parseRecord(replaced(c.first, c.second), &parsed)) << c.second;

    // A certificate of 4097 bytes does not fit the memory store or the callers' buffers.
    std::string big = body;
    size_t at = big.find("- 300100");
    EXPECT_EQ(Status::Damaged,
              parseRecord(withChecksum(big.replace(at, 8, "- " + std::string(2 * 4097, 'a'))), &parsed));
    std::string fits = body;
    EXPECT_EQ(Status::Ok,
              parseRecord(withChecksum(fits.replace(at, 8, "- " + std::string(2 * 4096, 'a'))), &parsed));
}

TEST(KeyRecord, NineContainersAreRefused)
{
    std::string body = sampleBody();
    body.replace(body.find("containers 2"), 12, "containers 9");
    for (int i = 0; i < 7; ++i)
        body += "container rsa 6d61696e - -\n";
    KeyRecord parsed;
    EXPECT_EQ(Status::Damaged, parseRecord(withChecksum(body), &parsed));
}

TEST(KeyRecord, FieldRulesAtTheirBoundaries)
{
    EXPECT_TRUE(validSerial("0123456789abcdef"));
    EXPECT_FALSE(validSerial("0123456789abcdefg"));
    EXPECT_FALSE(validSerial(""));
    EXPECT_FALSE(validSerial("../x"));
    EXPECT_FALSE(validSerial("a b"));

    EXPECT_TRUE(validLabel(std::string(32, 'x')));
    EXPECT_FALSE(validLabel(std::string(33, 'x')));
    EXPECT_TRUE(validLabel("中文标签"));
    EXPECT_FALSE(validLabel("tab\there"));
    EXPECT_FALSE(validLabel("\xed\xa0\x80"));      // an encoded surrogate
    EXPECT_FALSE(validLabel("\xe4\xb8"));          // cut in the middle of a character
    EXPECT_FALSE(validLabel("\xf4\x90\x80\x80"));  // beyond U+10FFFF

    EXPECT_TRUE(validContainerName(std::string(64, 'c')));
    EXPECT_FALSE(validContainerName(std::string(65, 'c')));
}

TEST(KeyRecord, LabelsCrossAsUtf16AndBack)
{
    std::u16string wide;
    ASSERT_TRUE(zvitutf::utf8ToUtf16("A中\xf0\x9f\x94\x91", &wide));  // ASCII, BMP, and a key emoji
    ASSERT_EQ(4u, wide.size());
    EXPECT_EQ(u'A', wide[0]);
    EXPECT_EQ(0x4e2d, wide[1]);
    EXPECT_EQ(0xd83d, wide[2]);
    EXPECT_EQ(0xdd11, wide[3]);
    std::string back;
    ASSERT_TRUE(zvitutf::utf16ToUtf8(wide, &back));
    EXPECT_EQ("A中\xf0\x9f\x94\x91", back);
    EXPECT_FALSE(zvitutf::utf16ToUtf8(std::u16string(1, static_cast<char16_t>(0xd800)), &back));
    EXPECT_FALSE(zvitutf::utf16ToUtf8(std::u16string(1, static_cast<char16_t>(0xdc00)), &back));
    EXPECT_FALSE(zvitutf::utf8ToUtf16("\xc0\x80", &wide));
}

}  // namespace
