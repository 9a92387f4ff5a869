// Text helpers of the utility library: conversions stay inside the caller's
// buffer and refuse malformed input; GUIDs, PIN strength, paths.
#include <cstring>
#include <regex>
#include <set>

#include "UtilLibraryFixture.h"
#include "common/PinStrength.h"

TEST_F(UtilLibraryTest, HexRoundTripsAndStaysInBounds)
{
    const uint8_t data[] = {0x00, 0x7F, 0x80, 0xFF, 0x1A};
    char hex[16];
    memset(hex, '#', sizeof(hex));
    size_t size = 11;  // exact fit
    ASSERT_EQ(ZTUtil_AnsiToHexA(data, sizeof(data), hex, &size), ZTUTIL_OK);
    EXPECT_STREQ(hex, "007F80FF1A");
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(hex[11], '#');

    memset(hex, '#', sizeof(hex));
    size = 10;
    EXPECT_EQ(ZTUtil_AnsiToHexA(data, sizeof(data), hex, &size), ZTUTIL_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(std::string(hex + 1, 15), std::string(15, '#'));

    uint8_t back[8] = {};
    size_t length = 5;
    ASSERT_EQ(ZTUtil_HexToAnsiA("007f80Ff1A", back, &length), ZTUTIL_OK);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(memcmp(back, data, 5), 0);
    length = 4;
    memset(back, 0xEE, sizeof(back));
    EXPECT_EQ(ZTUtil_HexToAnsiA("007f80Ff1A", back, &length), ZTUTIL_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(back[0], 0xEE);
    length = sizeof(back);
    EXPECT_EQ(ZTUtil_HexToAnsiA("ABC", back, &length), ZTUTIL_ERR_BAD_DATA);
    EXPECT_EQ(ZTUtil_HexToAnsiA("0G", back, &length), ZTUTIL_ERR_BAD_DATA);
    EXPECT_EQ(ZTUtil_HexToAnsiA("12 4", back, &length), ZTUTIL_ERR_BAD_DATA);
}

TEST_F(UtilLibraryTest, SwapBytesReversesInPlace)
{
    uint8_t odd[] = {1, 2, 3, 4, 5};
    ASSERT_EQ(ZTUtil_SwapBytes(odd, sizeof(odd)), ZTUTIL_OK);
    EXPECT_EQ(std::vector<uint8_t>(odd, odd + 5), (std::vector<uint8_t>{5, 4, 3, 2, 1}));
    uint8_t even[] = {1, 2, 3, 4};
    ASSERT_EQ(ZTUtil_SwapBytes(even, sizeof(even)), ZTUTIL_OK);
    EXPECT_EQ(std::vector<uint8_t>(even, even + 4), (std::vector<uint8_t>{4, 3, 2, 1}));
    EXPECT_EQ(ZTUtil_SwapBytes(nullptr, 0), ZTUTIL_OK);
    EXPECT_EQ(ZTUtil_SwapBytes(nullptr, 3), ZTUTIL_ERR_INVALID_ARG);
}

TEST_F(UtilLibraryTest, UnicodeConversionsAreStrictAndBounded)
{
    // "中文" and U+1F600 (a surrogate pair).
    const char* utf8 = "\xE4\xB8\xAD\xE6\x96\x87-\xF0\x9F\x98\x80";
    const std::vector<uint16_t> expected = {0x4E2D, 0x6587, '-', 0xD83D, 0xDE00, 0};
    uint16_t wide[8];
    size_t length = 6;  // exact fit with the terminator
    ASSERT_EQ(ZTUtil_AnsiToUnicode(utf8, wide, &length), ZTUTIL_OK);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(std::vector<uint16_t>(wide, wide + 6), expected);
    length = 5;
    EXPECT_EQ(ZTUtil_AnsiToUnicode(utf8, wide, &length), ZTUTIL_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 6u);

    char narrow[16];
    memset(narrow, '#', sizeof(narrow));
    size_t size = 12;
    ASSERT_EQ(ZTUtil_UnicodeToAnsi(expected.data(), narrow, &size), ZTUTIL_OK);
    EXPECT_STREQ(narrow, utf8);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(narrow[12], '#');
    size = 11;
    EXPECT_EQ(ZTUtil_UnicodeToAnsi(expected.data(), narrow, &size), ZTUTIL_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 12u);

    length = 8;
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE4\xB8", "\xF4\x90\x80\x80", "\xFF", "a\x80"})
        EXPECT_EQ(ZTUtil_AnsiToUnicode(bad, wide, &length), ZTUTIL_ERR_BAD_DATA) << bad;
    const uint16_t lonelyHigh[] = {'a', 0xD83D, 'b', 0};
    const uint16_t lonelyLow[] = {0xDE00, 0};
    size = sizeof(narrow);
    EXPECT_EQ(ZTUtil_UnicodeToAnsi(lonelyHigh, narrow, &size), ZTUTIL_ERR_BAD_DATA);
    EXPECT_EQ(ZTUtil_UnicodeToAnsi(lonelyLow, narrow, &size), ZTUTIL_ERR_BAD_DATA);
}

TEST_F(UtilLibraryTest, GuidsAreRandomAndBracedUpperCase)
{
    const std::regex shape("\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        char guid[39];
        size_t size = sizeof(guid);
        ASSERT_EQ(ZTUtil_CreateGUIDA(guid, &size), ZTUTIL_OK);
        EXPECT_EQ(size, 38u);
        EXPECT_TRUE(std::regex_match(guid, shape)) << guid;
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 50u);
    char small[38];
    size_t size = sizeof(small);
    EXPECT_EQ(ZTUtil_CreateGUIDA(small, &size), ZTUTIL_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 39u);
}

TEST_F(UtilLibraryTest, PinDegreeAgreesWithTheManagersRule)
{
    for (const char* pin : {"Abcdef12", "abcdef12", "ABCDEF12", "abcdefgh", "12345678", "Abc12", "Abcdef123",
                            "Ab!@#$1x", "!!!!!!!1", "", "\xE4\xB8\xAD\xE6\x96\x87\x31\x32"}) {
        uint32_t degree = 0;
        ASSERT_EQ(ZTUtil_GetPINDegreeA(pin, &degree), ZTUTIL_OK);
        EXPECT_EQ(degree, GetPinDegree(pin)) << pin;
    }
    uint32_t degree = 0;
    ASSERT_EQ(ZTUtil_GetPINDegreeA(nullptr, &degree), ZTUTIL_OK);
    EXPECT_EQ(degree, GetPinDegree(nullptr));
    EXPECT_EQ(ZTUtil_GetPINDegreeA("x", nullptr), ZTUTIL_ERR_INVALID_ARG);
}

TEST_F(UtilLibraryTest, PathsComeFromTheInstallationRoot)
{
    char path[260];
    size_t size = sizeof(path);
    ASSERT_EQ(ZTUtil_GetConfigPathA(path, &size), ZTUTIL_OK);
    EXPECT_EQ(std::string(path), root.configPath());
    size = root.configPath().size();
    EXPECT_EQ(ZTUtil_GetConfigPathA(path, &size), ZTUTIL_ERR_BUFFER_TOO_SMALL);

    const std::string languageIni = root.path("Languages/Language.ini");
    auto languagePath = [&] {
        size_t capacity = sizeof(path);
        EXPECT_EQ(ZTUtil_GetCurrentLanguagePathA(path, &capacity), ZTUTIL_OK);
        return std::string(path);
    };
    setIniValue(languageIni, "LanguageDefaultSetting", "language", "1033");
    EXPECT_EQ(languagePath(), root.path("Languages/1033.qm"));
    // A code that would lead out of the language folder is not followed.
    setIniValue(languageIni, "LanguageDefaultSetting", "language", "../../../etc/passwd");
    EXPECT_EQ(languagePath(), root.path("Languages/2052.qm"));
    std::remove(languageIni.c_str());
    EXPECT_EQ(languagePath(), root.path("Languages/2052.qm"));
}

TEST_F(UtilLibraryTest, UnusedFunctionsRefuseInsteadOfPretending)
{
    char text[32];
    size_t size = sizeof(text);
    EXPECT_EQ(ZTUtil_GetDisplayTextA("Refresh_Success", text, &size), ZTUTIL_ERR_NOT_SUPPORTED);
    uint8_t cert[4] = {0x30, 0x02, 0x05, 0x00}, key[64];
    size = sizeof(key);
    EXPECT_EQ(ZTUtil_GetCertPubKey(cert, sizeof(cert), key, &size), ZTUTIL_ERR_NOT_SUPPORTED);
    EXPECT_EQ(ZTUtil_DebugTraceA("%s %d\n", "trace", 1), ZTUTIL_OK);
    EXPECT_EQ(ZTUtil_DebugTraceA(nullptr), ZTUTIL_ERR_INVALID_ARG);
}
