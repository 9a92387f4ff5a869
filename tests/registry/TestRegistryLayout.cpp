// The segment's bytes, as a separate process maps them, after each kind of
// write: the PKCS#11 library reads these offsets, not our structures.
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

#include "registry/Pkcs11SlotManager.h"
#include "RegistryFixture.h"
#include "RegistryTokenInfo.h"

namespace {

const char kDesc[] = "The Cryptographic Device";
const char kMaker[] = "Zenvit Co.,Ltd.";

std::string padded(const std::string& text, size_t size, char fill = ' ')
{
    std::string out = text;
    out.resize(size, fill);
    return out;
}

std::string textWithZero(const char* text, size_t size, char fill)
{
    std::string out(text, strlen(text) + 1);
    out.resize(size, fill);
    return out;
}

void expectReservedAreasBlank(const std::string& seg, int n)
{
    for (size_t area : {592u, 4689u, 8786u})
        EXPECT_TRUE(allBytes(seg, slotAt(n) + area, 4097, ' ')) << "slot " << n << " area " << area;
}

void expectEmptySlot(const std::string& seg, int n)
{
    size_t s = slotAt(n);
    EXPECT_EQ(le64(seg, s), static_cast<uint64_t>(n));
    EXPECT_TRUE(allBytes(seg, s + 8, 256, ' ')) << "device name of slot " << n;
    EXPECT_EQ(le32(seg, s + 264), 0u);
    EXPECT_EQ(seg[s + 268], 0);
    EXPECT_EQ(seg.substr(s + 272, 64), textWithZero(kDesc, 64, ' '));
    EXPECT_EQ(seg.substr(s + 336, 32), textWithZero(kMaker, 32, ' '));
    EXPECT_EQ(le64(seg, s + 368), 2u);
    EXPECT_TRUE(allBytes(seg, s + 376, 4, 0));
    expectReservedAreasBlank(seg, n);
}

std::string labelBytes(const std::string& text)
{
    return padded(text, 64);
}

std::string tokenInfoOf(int slot)
{
    std::string info(sizeof(TokenInfo64), '\0');
    fillTestTokenInfo(reinterpret_cast<unsigned char*>(&info[0]), slot);
    return info;
}

}  // namespace

TEST_F(RegistryTest, FreshRegistryHasTheSharedLayout)
{
    const std::string logDir = m_root->tempDir() + "/zvittarn";
    ASSERT_EQ(mkdir(logDir.c_str(), 0700), 0);
    ASSERT_EQ(SlotManagerInitialize(), 0u);
    const std::string log = readFile(logDir + "/zt_log.log");
    EXPECT_NE(log.find("Pkcs11SlotManager("), std::string::npos);
    EXPECT_NE(log.find("-->enter SlotManagerClearSlotInfo().\n"), std::string::npos);
    EXPECT_NE(log.find("-->SlotManagerClearSlotInfo() set slot = 3, flags = 2\n"), std::string::npos);
    EXPECT_NE(log.find("-->leave SlotManagerClearSlotInfo().\n\n"), std::string::npos);

    std::string seg = dumpSegment();
    ASSERT_EQ(seg.size(), 57472u);

    EXPECT_TRUE(allBytes(seg, 0, 8, 0)) << "slot count and reserved";
    EXPECT_EQ(seg[8], 2);
    EXPECT_EQ(seg[9], 20);
    EXPECT_EQ(seg.substr(10, 32), padded("ZT", 32));
    EXPECT_TRUE(allBytes(seg, 42, 14, 0)) << "padding and library flags";
    EXPECT_EQ(seg.substr(56, 32), padded("Zenvit PKCS11 LIBRARY", 32));
    EXPECT_EQ(seg[88], 1);
    EXPECT_EQ(seg[89], 1);
    EXPECT_TRUE(allBytes(seg, 90, 6, 0));

    for (int n = 0; n < 4; ++n) {
        expectEmptySlot(seg, n);
        // Token information and label are left as a new segment has them.
        EXPECT_TRUE(allBytes(seg, slotAt(n) + 384, 208, 0));
        EXPECT_TRUE(allBytes(seg, slotAt(n) + 12888, 64, 0));
    }
    for (int i = 0; i < 100; ++i) {
        size_t p = procAt(i);
        EXPECT_TRUE(allBytes(seg, p, 16, 0)) << "entry " << i;
        EXPECT_EQ(le32(seg, p + 16), 0xFFFFFFFFu) << "entry " << i;
        EXPECT_TRUE(allBytes(seg, p + 20, 28, 0)) << "entry " << i;
    }
}

TEST_F(RegistryTest, PublishMarkRemoveAndEmptyWriteTheDocumentedBytes)
{
    ASSERT_EQ(SlotManagerInitialize(), 0u);
    ASSERT_TRUE(SlotManagerRegisterProcess());
    const time_t registered = time(nullptr);

    ASSERT_EQ(peer({"add", "1", "VKEY-0001", "0x1122334455667788", "KEY"}), 0);
    std::string seg = dumpSegment();
    size_t s = slotAt(1);
    EXPECT_EQ(seg[0], 1) << "slot count";
    EXPECT_EQ(le64(seg, s), 1u);
    // The name comes with its 0 byte; the blanks of the emptied field stay behind it.
    EXPECT_EQ(seg.substr(s + 8, 10), std::string("VKEY-0001\0", 10));
    EXPECT_TRUE(allBytes(seg, s + 18, 246, ' '));
    EXPECT_EQ(le32(seg, s + 264), 0x55667788u);
    EXPECT_EQ(seg[s + 268], 1);
    EXPECT_EQ(seg.substr(s + 272, 64), textWithZero(kDesc, 64, ' '));
    EXPECT_EQ(seg.substr(s + 336, 32), textWithZero(kMaker, 32, ' '));
    EXPECT_EQ(le64(seg, s + 368), 3u);
    EXPECT_EQ(seg.substr(s + 376, 4), std::string("\1\0\1\0", 4));
    EXPECT_EQ(seg.substr(s + 384, 208), tokenInfoOf(1));
    EXPECT_EQ(seg.substr(s + 12888, 64), labelBytes("KEY"));
    expectReservedAreasBlank(seg, 1);
    for (int n : {0, 2, 3})
        expectEmptySlot(seg, n);

    // Publishing a present slot again still counts it.
    ASSERT_EQ(peer({"add", "1", "VKEY-0001", "0x1", "KEY"}), 0);
    seg = dumpSegment();
    EXPECT_EQ(seg[0], 2);

    // Removal kind: the slot turns empty at once and our entry holds the change.
    ASSERT_EQ(peer({"mark", "3", "1"}), 0);
    seg = dumpSegment();
    EXPECT_EQ(seg[s + 268], 0);
    EXPECT_EQ(le64(seg, s + 368), 2u);
    size_t p = procAt(g_MgrProcIndex);
    EXPECT_EQ(seg[p], 1);
    EXPECT_EQ(static_cast<int64_t>(le64(seg, p + 8)), static_cast<int64_t>(getpid()));
    EXPECT_EQ(le32(seg, p + 16), 1u);
    EXPECT_NEAR(static_cast<double>(le64(seg, p + 40)), static_cast<double>(registered), 2.0);

    // A process with a change pending does not get the next one, but the
    // slot still reads as gone to anyone who looks at its flags.
    ASSERT_EQ(peer({"add", "2", "VKEY-0002", "0x2", "TWO"}), 0);
    ASSERT_EQ(peer({"mark", "3", "2"}), 0);
    seg = dumpSegment();
    EXPECT_EQ(le32(seg, p + 16), 1u);
    EXPECT_EQ(seg[slotAt(2) + 268], 0) << "removal clears present even unannounced";
    EXPECT_EQ(le64(seg, slotAt(2) + 368), 2u) << "and the flags with it";

    ASSERT_EQ(peer({"remove", "2", "VKEY-0002"}), 0);
    seg = dumpSegment();
    s = slotAt(2);
    EXPECT_EQ(seg[0], 2) << "three adds, one remove";
    EXPECT_EQ(seg.substr(s + 272, 64), textWithZero(kDesc, 64, '\0'));
    EXPECT_EQ(seg.substr(s + 336, 32), textWithZero(kMaker, 32, '\0'));
    EXPECT_EQ(le64(seg, s + 368), 2u);
    EXPECT_EQ(seg.substr(s + 376, 4), std::string("\1\0\1\0", 4));
    EXPECT_EQ(seg.substr(s + 12888, 64), labelBytes("TWO")) << "removal keeps the label";
    expectReservedAreasBlank(seg, 2);

    // Emptying leaves token information, labels and the count alone.
    ASSERT_EQ(peer({"clear"}), 0);
    seg = dumpSegment();
    EXPECT_EQ(seg[0], 2);
    for (int n = 0; n < 4; ++n)
        expectEmptySlot(seg, n);
    EXPECT_EQ(seg.substr(slotAt(1) + 384, 208), tokenInfoOf(1));
    EXPECT_EQ(seg.substr(slotAt(1) + 12888, 64), labelBytes("KEY"));

    SlotManagerUnRegisterProcess();
    seg = dumpSegment();
    EXPECT_TRUE(allBytes(seg, p, 16, 0));
    EXPECT_EQ(le32(seg, p + 16), 0xFFFFFFFFu);
    EXPECT_TRUE(allBytes(seg, p + 20, 28, 0));
    EXPECT_EQ(g_MgrProcIndex, 0);
}

TEST_F(RegistryTest, SlotReadsTrimLabelsInWholeUnitsAndFindByPrefix)
{
    ASSERT_EQ(SlotManagerInitialize(), 0u);
    unsigned char info[sizeof(TokenInfo64)];
    fillTestTokenInfo(info, 0);
    struct Case {
        std::string label;
        size_t expected;
    } cases[] = {{"KEY", 4}, {"KEYS", 4}, {"", 0}, {std::string(64, 'L'), 64}};
    for (const Case& c : cases) {
        std::string label = padded(c.label, 64);
        ASSERT_EQ(SlotManagerAddSlotInfo(0, "VKEY-A1", info, reinterpret_cast<void*>(0xABCDEF0012345678ull),
                                         reinterpret_cast<const unsigned char*>(label.data())),
                  0u);
        void* handle = nullptr;
        char name[260];
        memset(name, 'x', sizeof(name));
        unsigned char out[64] = {0};
        unsigned char serial[16];
        unsigned long flags = 0;
        ASSERT_EQ(SlotManagerGetSlotInfoBySlotNo(0, &handle, name, out, serial, &flags), 0u);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 64), padded(label.substr(0, c.expected), 64, '\0'))
            << "label '" << c.label << "'";
        EXPECT_EQ(reinterpret_cast<uintptr_t>(handle), 0x12345678u);
        EXPECT_STREQ(name, "VKEY-A1");
        EXPECT_EQ(0, memcmp(serial, info + 80, 16));
        uint64_t expectedFlags;
        memcpy(&expectedFlags, info + 96, 8);
        EXPECT_EQ(flags, expectedFlags);
    }

    int slot = -7;
    EXPECT_EQ(SlotManagerGetSlotByName(&slot, "VKEY", 4), 0u);
    EXPECT_EQ(slot, 0);
    slot = -7;
    EXPECT_EQ(SlotManagerGetSlotByName(&slot, "VKEY-B", 4), 0u);
    EXPECT_EQ(slot, -7) << "no match leaves the output alone";
    EXPECT_EQ(SlotManagerGetSlotByName(&slot, "VKEY", 0), 0u);
    EXPECT_EQ(slot, -7) << "only the first count slots are searched";

    char name[260] = "untouched";
    EXPECT_EQ(SlotManagerGetSlotName(3, name), 0x1004u);
    EXPECT_STREQ(name, "untouched");
    void* handle = nullptr;
    EXPECT_EQ(SlotManagerGetSlotInfoBySlotNo(3, &handle, name, nullptr, nullptr, nullptr), 0x1004u);
    ASSERT_EQ(SlotManagerSetSlotChanged(3, 0), 0u);
    EXPECT_EQ(SlotManagerGetSlotName(0, name), 0x1004u) << "a removal mark empties the slot";
}

TEST_F(RegistryTest, MarksSetTheSlotStateWhetherOrNotAnyoneIsFreeToBeTold)
{
    ASSERT_EQ(SlotManagerInitialize(), 0u);
    ASSERT_EQ(peer({"add", "3", "VKEY-0003", "0x3", "KEY"}), 0);
    ASSERT_EQ(peer({"mark", "2", "3"}), 0);
    std::string seg = dumpSegment();
    ASSERT_EQ(seg[slotAt(3) + 268], 1);
    ASSERT_EQ(peer({"mark", "3", "3"}), 0);
    seg = dumpSegment();
    EXPECT_EQ(seg[slotAt(3) + 268], 0);
    EXPECT_EQ(le64(seg, slotAt(3) + 368), 2u) << "a reader of the flags must not see a key that is gone";

    // Pulled and plugged again in one pass, while a consumer still has a
    // change pending: the removal and then the addition are marked, and the
    // slot must end present or the consumer never shows the new key.
    ASSERT_TRUE(SlotManagerRegisterProcess());
    ASSERT_EQ(peer({"mark", "2", "1"}), 0);  // pending for us from now on
    ASSERT_EQ(peer({"add", "3", "VKEY-0004", "0x4", "NEW"}), 0);
    ASSERT_EQ(peer({"mark", "3", "3"}), 0);
    ASSERT_EQ(peer({"mark", "2", "3"}), 0);
    seg = dumpSegment();
    EXPECT_EQ(seg[slotAt(3) + 268], 1);
    EXPECT_EQ(le64(seg, slotAt(3) + 368), 3u);
}

TEST_F(RegistryTest, RegisteringTwiceReusesTheEntry)
{
    ASSERT_EQ(SlotManagerInitialize(), 0u);
    ASSERT_TRUE(SlotManagerRegisterProcess());
    int first = g_MgrProcIndex;
    ASSERT_TRUE(SlotManagerRegisterProcess());
    EXPECT_EQ(g_MgrProcIndex, first);
    std::string seg = dumpSegment();
    int inUse = 0;
    for (int i = 0; i < 100; ++i)
        inUse += seg[procAt(i)] == 1;
    EXPECT_EQ(inUse, 1);
}
