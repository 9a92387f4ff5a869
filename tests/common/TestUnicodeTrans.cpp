#include <gtest/gtest.h>

#include <cstring>

#include "common/UnicodeTrans.h"
#include "common/utf/Utf.h"

TEST(UnicodeTrans, Utf8AndUtf16RoundTripWithinBounds)
{
    // "Key 钥匙" as UTF-8, turned into UTF-16 in place.
    char buffer[32] = {0};
    strcpy(buffer, "Key \xE9\x92\xA5\xE5\x8C\x99");
    charToUnicode(buffer, sizeof(buffer));
    const uint16_t expected[] = {'K', 'e', 'y', ' ', 0x94A5, 0x5319};
    EXPECT_EQ(0, memcmp(buffer, expected, sizeof(expected)));

    uint16_t text[8] = {'K', 'e', 'y', ' ', 0x94A5, 0x5319, 0};
    char out[16];
    size_t len = sizeof(out);
    ASSERT_EQ(QtUTF16toUTF8(text, 0, out, &len), 0u);
    EXPECT_EQ(std::string(out, len), "Key \xE9\x92\xA5\xE5\x8C\x99");
    len = 5;  // too small: refused, nothing cut silently
    EXPECT_NE(QtUTF16toUTF8(text, 0, out, &len), 0u);

    // A buffer that cannot hold the wide form keeps to its own size.
    char tight[6] = {'a', 'b', 'c', 'd', 'e', 'f'};
    charToUnicode(tight, sizeof(tight));
    const uint16_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(0, memcmp(tight, abc, sizeof(abc)));
    EXPECT_EQ(charToUnicode(nullptr, 4), nullptr);
}

TEST(UnicodeTrans, CatCompareAndShortName)
{
    uint16_t dest[8] = {'a', 'b', 0};
    const uint16_t src[] = {'c', 'd', 0};
    ASSERT_EQ(unicodeStringCat(dest, src, 8), dest);
    const uint16_t abcd[] = {'a', 'b', 'c', 'd', 0};
    EXPECT_EQ(unicodeStringCompare(dest, abcd), 1);
    EXPECT_EQ(unicodeStringCompare(dest, src), 0);
    EXPECT_EQ(unicodeStringCompare(nullptr, src), 0);
    uint16_t full[4] = {'w', 'x', 'y', 0};
    EXPECT_EQ(unicodeStringCat(full, src, 4), nullptr);  // would not fit
    EXPECT_EQ(unicodeStringCat(nullptr, src, 4), nullptr);

    char shortName[15] = {0};
    ASSERT_EQ(ccidShortName("Reader Name 0123456789", shortName), 0);
    EXPECT_EQ(std::string(shortName, 14), std::string("Reader Nam") + "56" + "89");
    EXPECT_EQ(ccidShortName("abcde", shortName), 1);
    EXPECT_EQ(ccidShortName(nullptr, shortName), 1);
}

TEST(UnicodeTrans, MalformedTextIsRefusedOrReplacedNeverPassedOn)
{
    // The stand-ins refuse a malformed label; what is shown gets U+FFFD.
    std::u16string wide = u"kept";
    EXPECT_FALSE(zvitutf::utf8ToUtf16("a\xC0\x80" "b", &wide));  // overlong NUL
    EXPECT_FALSE(zvitutf::utf8ToUtf16("\xED\xA0\x80", &wide));    // a surrogate in UTF-8
    EXPECT_FALSE(zvitutf::utf8ToUtf16("\xF4\x90\x80\x80", &wide));  // past U+10FFFF
    EXPECT_FALSE(zvitutf::utf8ToUtf16("\xE9\x92", &wide));          // cut short
    EXPECT_EQ(wide, u"kept");
    ASSERT_TRUE(zvitutf::utf8ToUtf16("a\xC0\x80" "b\xE9\x92", &wide, zvitutf::Malformed::Replace));
    EXPECT_EQ(wide, u"a\uFFFD\uFFFDb\uFFFD\uFFFD");

    std::string narrow = "kept";
    const std::u16string lone = {u'x', static_cast<char16_t>(0xDC00), static_cast<char16_t>(0xD800)};
    EXPECT_FALSE(zvitutf::utf16ToUtf8(lone, &narrow));
    EXPECT_EQ(narrow, "kept");
    ASSERT_TRUE(zvitutf::utf16ToUtf8(lone, &narrow, zvitutf::Malformed::Replace));
    EXPECT_EQ(narrow, "x\xEF\xBF\xBD\xEF\xBF\xBD");

    // The buffer helpers take the same path: an unpaired surrogate is shown, not cut.
    const uint16_t text[] = {'K', 0xD800, 0};
    char out[8];
    size_t len = sizeof(out);
    ASSERT_EQ(QtUTF16toUTF8(text, 0, out, &len), 0u);
    EXPECT_EQ(std::string(out, len), "K\xEF\xBF\xBD");
}
