#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "TestRoot.h"
#include "common/CommandLine.h"
#include "common/OsFacts.h"
#include "common/PinStrength.h"
#include "common/TokenInfoConvert.h"
#include "common/global_def_var.h"

namespace {

void resetOptions()
{
    for (ZTOption* o = g_options; o->text; ++o)
        o->flag = 0;
}

void parse(std::initializer_list<const char*> args)
{
    std::vector<char*> argv;
    for (const char* a : args)
        argv.push_back(const_cast<char*>(a));
    parse_commandline(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

TEST(CommandLine, OnlyExactOptionsSetFlags)
{
    resetOptions();
    parse({"tarnukey", "-SYS", "--sys", "-sysx", "sys"});
    EXPECT_EQ(g_options[ZT_OPTION_DEBUG].flag, 0);
    EXPECT_EQ(g_options[ZT_OPTION_SYS].flag, 0);

    parse({"tarnukey", "-sys", "-d", "-sys"});
    EXPECT_EQ(g_options[ZT_OPTION_DEBUG].flag, 1);
    EXPECT_EQ(g_options[ZT_OPTION_SYS].flag, 1);

    // Flags are never reset by a later parse.
    parse({"tarnukey"});
    EXPECT_EQ(g_options[ZT_OPTION_SYS].flag, 1);
    resetOptions();
}

TEST(PinDegree, ClassesOfEightCharacterPins)
{
    EXPECT_EQ(GetPinDegree("Abcdefg1"), ZT_PIN_DEGREE_STRONG);
    EXPECT_EQ(GetPinDegree("abcdef12"), ZT_PIN_DEGREE_MEDIUM);
    EXPECT_EQ(GetPinDegree("ABCDEF12"), ZT_PIN_DEGREE_MEDIUM);
    EXPECT_EQ(GetPinDegree("ABCDefgh"), ZT_PIN_DEGREE_WEAK);
    EXPECT_EQ(GetPinDegree("12345678"), ZT_PIN_DEGREE_WEAK);
    EXPECT_EQ(GetPinDegree("!@#$%^&*"), ZT_PIN_DEGREE_WEAK);
    EXPECT_EQ(GetPinDegree("Abcdef1"), ZT_PIN_DEGREE_WEAK);
    EXPECT_EQ(GetPinDegree("Abcdefg12"), ZT_PIN_DEGREE_WEAK);
    EXPECT_EQ(GetPinDegree(nullptr), ZT_PIN_DEGREE_WEAK);
}

TEST(LabelName, PaddingIsNormalisedToEvenBlankRuns)
{
    char label[32];
    memset(label, ' ', sizeof(label));
    memcpy(label, "KEY", 3);
    formatLabelName(label, sizeof(label));
    EXPECT_EQ(std::string(label, 4), std::string("KEY\0", 4));
    EXPECT_EQ(std::string(label + 4, 28), std::string(28, ' '));

    memset(label, ' ', sizeof(label));
    memcpy(label, "KEY1", 4);
    char expected[32];
    memcpy(expected, label, sizeof(label));
    formatLabelName(label, sizeof(label));
    EXPECT_EQ(0, memcmp(label, expected, sizeof(label)));

    memset(label, ' ', sizeof(label));
    formatLabelName(label, sizeof(label));
    EXPECT_EQ(std::string(label, 32), std::string(32, ' '));

    char odd[5];
    memset(odd, ' ', sizeof(odd));
    formatLabelName(odd, sizeof(odd));
    EXPECT_EQ(std::string(odd, 5), std::string("\0    ", 5));

    // A 0-terminated label gets its trailing zeros turned into blank padding.
    char zeroed[8] = {'A', 'B', 0, 0, 0, 0, 0, 0};
    formatLabelName(zeroed, sizeof(zeroed));
    EXPECT_EQ(std::string(zeroed, 8), "AB      ");
}

TEST(TokenInfo, LayoutsConvertBothWaysByValue)
{
    TokenInfo32 a{};
    memset(&a, 0, sizeof(a));
    memcpy(a.label, "LABEL", 5);
    memcpy(a.serialNumber, "0123456789ABCDEF", 16);
    a.flags = 0x8004050Du;  // bits above 15 must survive
    a.ulMaxPinLen = 16;
    a.ulMinPinLen = 6;
    a.ulFreePrivateMemory = 0xFFFFFFFFu;
    a.hardwareVersion = {1, 2};
    a.firmwareVersion = {3, 4};
    memcpy(a.utcTime, "2026120613000000", 16);

    TokenInfo64 wide;
    memset(&wide, 0xAA, sizeof(wide));
    ASSERT_EQ(tokenInfoConvert32to64(&a, &wide), 0u);
    EXPECT_EQ(wide.flags, 0x8004050Dull);
    EXPECT_EQ(wide.ulFreePrivateMemory, 0xFFFFFFFFull);
    EXPECT_EQ(0, memcmp(wide.utcTime, a.utcTime, 16));

    TokenInfo32 back;
    memset(&back, 0x55, sizeof(back));
    ASSERT_EQ(tokenInfoConvert64to32(&wide, &back), 0u);
    EXPECT_EQ(0, memcmp(&a, &back, sizeof(a)));

    wide.ulMaxSessionCount = 0x1234567800000009ull;  // only the low half fits
    tokenInfoConvert64to32(&wide, &back);
    EXPECT_EQ(back.ulMaxSessionCount, 9u);
    EXPECT_NE(tokenInfoConvert32to64(nullptr, &wide), 0u);
}

TEST(OsFacts, LanguageFileFollowsTheLastLineOfTheHint)
{
    TestRoot root;
    char name[ZT_OS_LANGUAGE_FILE_LEN + 4];
    struct Case {
        const char* content;
        const char* expected;
    } cases[] = {
        {nullptr, "1033.qm"},          {"zh_CN.UTF-8\n", "2052.qm"}, {"zh_TW\n", "1028.qm"},
        {"de_DE.UTF-8\n", "1033.qm"},  {"en_US\n", "1033.qm"},       {"", "1033.qm"},
        {"en_US\nzh_CN\n", "2052.qm"}, {"zh_CN\nde_DE\n", "1033.qm"},
    };
    for (const Case& c : cases) {
        unlink(g_szOsLanguageFile);
        if (c.content)
            writeFile(g_szOsLanguageFile, c.content);
        memset(name, 'X', sizeof(name));
        EXPECT_EQ(GetOSLanguage(name), 0u);
        EXPECT_STREQ(name, c.expected) << (c.content ? c.content : "(missing)");
        EXPECT_EQ(name[ZT_OS_LANGUAGE_FILE_LEN], 'X') << "wrote past the 8-byte name";
    }
}

TEST(OsFacts, IssueTextStopsAtTheFirstEscapeOrLineEnd)
{
    TestRoot root;
    char text[64] = "";
    writeFile(g_szOsIssueFile, "Debian GNU/Linux 12 \\n \\l\n\n");
    ASSERT_TRUE(getOSversion_Linux(text, sizeof(text)));
    EXPECT_STREQ(text, "Debian GNU/Linux 12 ");

    // A huge issue file never overruns the caller's buffer.
    writeFile(g_szOsIssueFile, std::string(100000, 'x'));
    char small[16] = "";
    ASSERT_TRUE(getOSversion_Linux(small, sizeof(small)));
    EXPECT_EQ(strlen(small), sizeof(small) - 1);

    unlink(g_szOsIssueFile);
    char none[8] = "";
    EXPECT_TRUE(getOSversion_Linux(none, sizeof(none)));
    EXPECT_STREQ(none, "");
    EXPECT_FALSE(getOSversion_Linux(nullptr, 8));
}
