// Ini access through the library's C interface: defaults, numbers, and the
// callers' buffer sizes honoured to the byte.
#include <cstring>

#include "UtilLibraryFixture.h"

namespace {

class UtilIniTest : public UtilLibraryTest
{
protected:
    std::string ini = root.tempDir() + "/util.ini";
};

}  // namespace

TEST_F(UtilIniTest, StringReadsHonourTheBufferSize)
{
    writeFile(ini, "[S]\nfour=abcd\nempty=\n");
    char buffer[16];
    size_t size;

    // Exact fit: four bytes and the terminator.
    memset(buffer, '#', sizeof(buffer));
    size = 5;
    ASSERT_EQ(ZTUtil_GetIniStringA("S", "four", "dflt", buffer, &size, ini.c_str()), ZTUTIL_OK);
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(buffer[5], '#');

    // One short: refused, nothing written past the capacity, needed size told.
    memset(buffer, '#', sizeof(buffer));
    size = 4;
    EXPECT_EQ(ZTUtil_GetIniStringA("S", "four", "dflt", buffer, &size, ini.c_str()), ZTUTIL_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(std::string(buffer + 4, 12), std::string(12, '#'));

    // A default that does not fit is refused the same way.
    size = 3;
    EXPECT_EQ(ZTUtil_GetIniStringA("S", "missing", "dflt", buffer, &size, ini.c_str()), ZTUTIL_ERR_BUFFER_TOO_SMALL);
    size = 0;
    EXPECT_EQ(ZTUtil_GetIniStringA("S", "four", nullptr, buffer, &size, ini.c_str()), ZTUTIL_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 5u);
}

TEST_F(UtilIniTest, MissingKeysGiveTheDefaultUnreadableFilesAnError)
{
    writeFile(ini, "[S]\nempty=\n");
    char buffer[260];
    size_t size = sizeof(buffer);
    ASSERT_EQ(ZTUtil_GetIniStringA("S", "missing", "fallback", buffer, &size, ini.c_str()), ZTUTIL_OK);
    EXPECT_STREQ(buffer, "fallback");
    size = sizeof(buffer);
    ASSERT_EQ(ZTUtil_GetIniStringA("S", "missing", nullptr, buffer, &size, ini.c_str()), ZTUTIL_OK);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(size, 0u);
    size = sizeof(buffer);
    ASSERT_EQ(ZTUtil_GetIniStringA("S", "empty", "fallback", buffer, &size, ini.c_str()), ZTUTIL_OK);
    EXPECT_STREQ(buffer, "") << "an empty value is a value";
    size = sizeof(buffer);
    ASSERT_EQ(ZTUtil_GetIniStringA("S", "k", "d", buffer, &size, (ini + ".none").c_str()), ZTUTIL_OK);
    EXPECT_STREQ(buffer, "d");

    // A path that exists but cannot be read as a file must not pass for "missing".
    size = sizeof(buffer);
    EXPECT_EQ(ZTUtil_GetIniStringA("S", "k", "d", buffer, &size, root.tempDir().c_str()), ZTUTIL_ERR_IO);
    EXPECT_STREQ(buffer, "d");

    size = sizeof(buffer);
    EXPECT_EQ(ZTUtil_GetIniStringA(nullptr, "k", "d", buffer, &size, ini.c_str()), ZTUTIL_ERR_INVALID_ARG);
    EXPECT_EQ(ZTUtil_GetIniStringA("S", "k", "d", buffer, nullptr, ini.c_str()), ZTUTIL_ERR_INVALID_ARG);
}

TEST_F(UtilIniTest, NumbersFallBackOnAnythingNotAnUnsigned32BitValue)
{
    writeFile(ini,
              "[N]\nplain= 42 \nhex=0x1F\nmax=4294967295\nover=4294967296\nneg=-1\nword=yes\nmixed=12ab\nempty=\n");
    auto get = [&](const char* key) { return ZTUtil_GetIniUIntA("N", key, 777, ini.c_str()); };
    EXPECT_EQ(get("plain"), 42u);
    EXPECT_EQ(get("hex"), 31u);
    EXPECT_EQ(get("max"), 4294967295u);
    for (const char* bad : {"over", "neg", "word", "mixed", "empty", "missing"})
        EXPECT_EQ(get(bad), 777u) << bad;

    ASSERT_EQ(ZTUtil_WriteIniUIntA("N", "written", 4000000000u, ini.c_str()), ZTUTIL_OK);
    EXPECT_EQ(get("written"), 4000000000u);
    ASSERT_EQ(ZTUtil_WriteIniStringA("T", "text", "\xE4\xB8\xAD x=y", ini.c_str()), ZTUTIL_OK);
    char buffer[32];
    size_t size = sizeof(buffer);
    ASSERT_EQ(ZTUtil_GetIniStringA("T", "text", nullptr, buffer, &size, ini.c_str()), ZTUTIL_OK);
    EXPECT_STREQ(buffer, "\xE4\xB8\xAD x=y");
    EXPECT_EQ(ZTUtil_WriteIniStringA("T", "bad", "line\nbreak", ini.c_str()), ZTUTIL_ERR_INVALID_ARG);
}

TEST_F(UtilIniTest, KeyNamesListIsBounded)
{
    writeFile(ini, "[S]\nab=1\nc=2\n");
    char names[8];
    memset(names, '#', sizeof(names));
    size_t size = 6;  // "ab\0c\0\0"
    ASSERT_EQ(ZTUtil_GetIniKeyNamesA("S", names, &size, ini.c_str()), ZTUTIL_OK);
    EXPECT_EQ(std::string(names, 6), std::string("ab\0c\0\0", 6));
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(names[6], '#');

    size = 5;
    EXPECT_EQ(ZTUtil_GetIniKeyNamesA("S", names, &size, ini.c_str()), ZTUTIL_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 6u);

    size = sizeof(names);
    ASSERT_EQ(ZTUtil_GetIniKeyNamesA("Missing", names, &size, ini.c_str()), ZTUTIL_OK);
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(names[0], '\0');
}
