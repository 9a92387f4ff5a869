// The soft algorithm stand-in through the programs' loader: SM3 against the
// standard's vectors and an independent implementation, Base64 bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "certs/x509/Sm3.h"
#include "TestRoot.h"
#include "bindings/ZTSoftAlgExp_fundef.h"

namespace {

std::string toHex(const uint8_t* data, size_t length)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

std::vector<uint8_t> pattern(size_t length)
{
    std::vector<uint8_t> data(length);
    for (size_t i = 0; i < length; ++i)
        data[i] = static_cast<uint8_t>(i * 7 + 3);
    return data;
}

class SoftAlgTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(LoadZTSoftAlgLib()); }
    void TearDown() override { FreeZTSoftAlgLib(); }

    std::string sm3(const std::vector<uint8_t>& data)
    {
        uint8_t digest[ZTSOFTALG_SM3_DIGEST_LEN];
        EXPECT_EQ(fn_ZTSM3Digest(data.data(), data.size(), digest), ZTSOFTALG_OK);
        return toHex(digest, sizeof(digest));
    }

    TestRoot root;
};

}  // namespace

TEST_F(SoftAlgTest, Sm3MatchesTheStandardAndAReference)
{
    EXPECT_EQ(sm3({'a', 'b', 'c'}), "66c7f0f462eeedd9d1f2d46bdc10e4e24167c4875cf2f7a2297da02b8f4ba8e0");
    std::vector<uint8_t> abcd;
    for (int i = 0; i < 16; ++i)
        abcd.insert(abcd.end(), {'a', 'b', 'c', 'd'});
    EXPECT_EQ(sm3(abcd), "debe9ff92275b8a138604889c18e5a4d6fdb70e5387e5765293dcba39c0c5732");

    // Lengths around the padding boundaries, digests from an independent implementation.
    const std::pair<size_t, const char*> references[] = {
        {0, "1ab21d8355cfa17f8e61194831e81a8f22bec8c728fefb747ed035eb5082aa2b"},
        {55, "e8db7ce49b650f0d86862da3a8184edba205c3ab6cb31096ba49c6b23d4ed70a"},
        {56, "3ce5149f8b8b5be2105c4d09df0c6a59fe73df7ef4fa4a32b65be7841186e139"},
        {63, "f00cc2d6a3733a2ce714a0d8ea7a68af8fb01f549d4a3533326da97b831e0f8a"},
        {64, "97de314a1506e1b46aa051be0f20ab094a38bedc29eaeb3060f4477409d6e4d6"},
        {65, "dc068b29e9179526942e7392faf7900e793123407a0e60a104ef6443c254f20b"},
        {119, "3b1ba88b91c3a5e9d38e93afd6986c0f3389889bdde9635230dae0ae10fd5270"},
        {120, "4455ed5c6a4ea5865876ea2c0a68bf93ce434b8559617aa2f28f66b8bce7cc3d"},
        {1000, "ed9960fb8b097873d9d584bf7a82df416c3b686f88435d3cb1f50568eac06dff"},
    };
    for (const auto& reference : references)
        EXPECT_EQ(sm3(pattern(reference.first)), reference.second) << reference.first << " bytes";

    uint8_t digest[ZTSOFTALG_SM3_DIGEST_LEN];
    EXPECT_EQ(fn_ZTSM3Digest(nullptr, 0, digest), ZTSOFTALG_OK);
    EXPECT_EQ(fn_ZTSM3Digest(nullptr, 1, digest), ZTSOFTALG_ERR_INVALID_ARG);
    EXPECT_EQ(fn_ZTSM3Digest(abcd.data(), abcd.size(), nullptr), ZTSOFTALG_ERR_INVALID_ARG);
}

TEST(Sm3Test, PiecewiseUpdatesEqualOneShot)
{
    std::vector<uint8_t> data = pattern(1000);
    uint8_t whole[kSm3DigestLen];
    zvitSm3(data.data(), data.size(), whole);
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        ZvitSm3Context pieces;
        zvitSm3Starts(&pieces);
        size_t at = 0;
        while (at < data.size()) {
            size_t take = std::min<size_t>(random() % 130, data.size() - at);
            zvitSm3Update(&pieces, data.data() + at, take);
            at += take;
        }
        uint8_t digest[kSm3DigestLen];
        zvitSm3Finish(&pieces, digest);
        ASSERT_EQ(toHex(digest, sizeof(digest)), toHex(whole, sizeof(whole)));
    }
}

TEST_F(SoftAlgTest, Base64RoundTripsWithinTheCallersBuffer)
{
    char text[16];
    size_t size = 9;  // "Zm9vYmFy" and the terminator
    const uint8_t foobar[] = {'f', 'o', 'o', 'b', 'a', 'r'};
    memset(text, '#', sizeof(text));
    ASSERT_EQ(fn_ZTBase64Encode(foobar, 6, text, &size), ZTSOFTALG_OK);
    EXPECT_STREQ(text, "Zm9vYmFy");
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(text[9], '#');
    size = 8;
    memset(text, '#', sizeof(text));
    EXPECT_EQ(fn_ZTBase64Encode(foobar, 6, text, &size), ZTSOFTALG_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(std::string(text + 1, 15), std::string(15, '#'));
    size = 1;
    ASSERT_EQ(fn_ZTBase64Encode(nullptr, 0, text, &size), ZTSOFTALG_OK);
    EXPECT_STREQ(text, "");

    for (size_t length = 0; length < 70; ++length) {
        std::vector<uint8_t> data = pattern(length);
        std::vector<char> encoded((length + 2) / 3 * 4 + 1);
        size_t encodedSize = encoded.size();
        ASSERT_EQ(fn_ZTBase64Encode(data.data(), length, encoded.data(), &encodedSize), ZTSOFTALG_OK);
        std::vector<uint8_t> decoded(length + 1, 0xEE);
        size_t decodedSize = length;
        ASSERT_EQ(fn_ZTBase64Decode(encoded.data(), encodedSize, decoded.data(), &decodedSize), ZTSOFTALG_OK);
        ASSERT_EQ(decodedSize, length);
        ASSERT_TRUE(std::equal(data.begin(), data.end(), decoded.begin())) << length;
        ASSERT_EQ(decoded[length], 0xEE) << "decoder wrote past the data";
        if (length > 0) {
            decodedSize = length - 1;
            ASSERT_EQ(fn_ZTBase64Decode(encoded.data(), encodedSize, decoded.data(), &decodedSize),
                      ZTSOFTALG_ERR_BUFFER_TOO_SMALL);
            ASSERT_EQ(decodedSize, length);
        }
    }

    uint8_t data[16];
    size = sizeof(data);
    for (const char* bad : {"Zm9v!mFy", "Zm9", "Zm9vY", "Zm=vYmFy", "Zm9vYmFy===="})
        EXPECT_EQ(fn_ZTBase64Decode(bad, strlen(bad), data, &size), ZTSOFTALG_ERR_BAD_DATA) << bad;
    // Line-wrapped text as found in PEM files decodes.
    const char wrapped[] = "Zm9v\r\nYmFy\n";
    size = sizeof(data);
    ASSERT_EQ(fn_ZTBase64Decode(wrapped, strlen(wrapped), data, &size), ZTSOFTALG_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), "foobar");
}

TEST_F(SoftAlgTest, UnusedFunctionsRefuse)
{
    void* context = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(fn_ZTCreateMessageDigest(1, &context), ZTSOFTALG_ERR_NOT_SUPPORTED);
    EXPECT_EQ(context, nullptr) << "a refused create must not hand out a handle";
    context = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(fn_ZTCreateCipher(1, nullptr, 0, &context), ZTSOFTALG_ERR_NOT_SUPPORTED);
    EXPECT_EQ(context, nullptr);
    context = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(fn_ZTGenP10Context(&context), ZTSOFTALG_ERR_NOT_SUPPORTED);
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(fn_ZTDestroyMessageDigest(nullptr), ZTSOFTALG_ERR_NOT_SUPPORTED);
    EXPECT_EQ(fn_ZTDestroyCipher(nullptr), ZTSOFTALG_ERR_NOT_SUPPORTED);
    uint8_t buffer[32] = {};
    size_t size = sizeof(buffer);
    EXPECT_EQ(fn_ZTGenP10Csr(nullptr, buffer, &size), ZTSOFTALG_ERR_NOT_SUPPORTED);
    EXPECT_EQ(fn_ZTAddPadding(1, buffer, &size, sizeof(buffer)), ZTSOFTALG_ERR_NOT_SUPPORTED);
    EXPECT_EQ(fn_ZTStripPadding(1, buffer, &size), ZTSOFTALG_ERR_NOT_SUPPORTED);
    EXPECT_EQ(fn_ZTCreateP7(buffer, 4, buffer, &size), ZTSOFTALG_ERR_NOT_SUPPORTED);
}

TEST(SoftAlgLoaderTest, LibraryMissingOneNameFailsAsAWhole)
{
    TestRoot::Options options;
    options.linkLibraries = false;
    TestRoot root(options);
    std::filesystem::copy_file(ZVIT_INCOMPLETE_SOFTALG_LIBRARY, root.path("Librarys/libZTSoftAlg.so"));
    EXPECT_FALSE(LoadZTSoftAlgLib());
    EXPECT_NE(g_hSoftAlg, nullptr) << "the copy itself must load";
    EXPECT_NE(fn_ZTSM3Digest, nullptr);
    EXPECT_EQ(fn_ZTGenP10Context, nullptr);
    FreeZTSoftAlgLib();
}
