// Enumeration passes against a token library that misbehaves in ways the
// software token never does: slot numbers out of range, counts beyond the
// arrays, failures that never end. The registry is the real one.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "registry/Pkcs11SlotManager.h"
#include "PollWait.h"
#include "PrivateSessionBus.h"
#include "TestRoot.h"
#include "daemon/Daemon.h"
#include "bindings/ZTTokenExp_fundef.h"
#include "bindings/ZTUtil_fundef.h"

namespace {

struct FakeKey {
    std::string name;
    uint64_t slot;
    DWORD openResult = 0;
};

struct FakeToken {
    std::mutex mutex;
    std::vector<FakeKey> keys;
    DWORD enumResult = 0;
    uint64_t claimedListed = 0;  // 0 = the number of keys
    uint64_t allCount = 0;
    bool followExpected = false;  // the library sees as many keys as the daemon expects
    std::vector<uint64_t> removed, added;
    DWORD changeResult = 0;
    uint64_t claimedChanges = 0;  // 0 = the size of the list
    std::atomic<int> enumCalls {0}, destroyCalls {0}, changeCalls {0}, opens {0}, closes {0};
    std::vector<uint64_t> cleared;
} g_fake;

uint32_t fakeEnum(uint64_t* count, void** handles, uint64_t* allCount)
{
    std::lock_guard<std::mutex> lock(g_fake.mutex);
    ++g_fake.enumCalls;
    const uint64_t capacity = *count;
    for (size_t i = 0; i < g_fake.keys.size() && i < capacity; ++i)
        handles[i] = reinterpret_cast<void*>(static_cast<uintptr_t>(0x1000 + i));
    *count = g_fake.claimedListed ? g_fake.claimedListed : g_fake.keys.size();
    *allCount = g_fake.followExpected ? g_dwDevCount : g_fake.allCount;
    return g_fake.enumResult;
}

const FakeKey* keyOf(void* handle)
{
    const uintptr_t i = reinterpret_cast<uintptr_t>(handle) - 0x1000;
    return i < g_fake.keys.size() ? &g_fake.keys[i] : nullptr;
}

uint32_t fakeOpen(void* handle)
{
    std::lock_guard<std::mutex> lock(g_fake.mutex);
    ++g_fake.opens;
    const FakeKey* key = keyOf(handle);
    return key ? key->openResult : 0x10000102u;
}

uint32_t fakeAttr(void* handle, uint32_t attribute, void* value, uint64_t* length)
{
    std::lock_guard<std::mutex> lock(g_fake.mutex);
    const FakeKey* key = keyOf(handle);
    if (!key)
        return 0x10000102u;
    if (attribute == 0) {
        memcpy(value, key->name.c_str(), key->name.size() + 1);
        *length = key->name.size();
    } else {
        memcpy(value, &key->slot, 8);
        *length = 8;
    }
    return 0;
}

uint32_t fakeInfo(void*, void* info, uint64_t* length)
{
    memset(info, 'I', 208);
    *length = 208;
    return 0;
}

uint32_t fakeLabel(void*, uint16_t* label, uint64_t* length)
{
    label[0] = 'L';
    *length = 2;
    return 0;
}

uint32_t fakeClose(void*)
{
    ++g_fake.closes;
    return 0;
}

uint32_t fakeDestroy()
{
    ++g_fake.destroyCalls;
    return 0;
}

uint32_t fakeChange(uint32_t kind, uint64_t* slots, uint64_t* count)
{
    std::lock_guard<std::mutex> lock(g_fake.mutex);
    ++g_fake.changeCalls;
    const std::vector<uint64_t>& list = kind == 3 ? g_fake.removed : g_fake.added;
    const uint64_t capacity = *count;
    for (size_t i = 0; i < list.size() && i < capacity; ++i)
        slots[i] = list[i];
    *count = g_fake.claimedChanges ? g_fake.claimedChanges : list.size();
    return g_fake.changeResult;
}

uint32_t fakeClear(uint64_t slot, uint32_t)
{
    std::lock_guard<std::mutex> lock(g_fake.mutex);
    g_fake.cleared.push_back(slot);
    return 0;
}

class EnumPass : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Announcements go nowhere: the pass must not care.
        setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zvit-no-bus", 1);
        // Qt's bus manager is made on first use and lives until exit; made by
        // a worker thread, it outlives its creator and is reported as a leak.
        primeSessionBusManager();
    }
    void SetUp() override
    {
        mkdir((m_root.tempDir() + "/zvittarn").c_str(), 0700);
        ASSERT_TRUE(LoadZTUtilLib());
        ASSERT_EQ(0u, SlotManagerInitialize());
        ZTToken_EnumDeviceWithAllCount = fakeEnum;
        ZTToken_OpenDeviceByHandle = fakeOpen;
        ZTToken_GetDeviceAttr = fakeAttr;
        ZTToken_GetTokenInfo = fakeInfo;
        ZTToken_GetTokenLabel = fakeLabel;
        ZTToken_CloseDevice = fakeClose;
        ZTToken_DestroyEnum = fakeDestroy;
        ZTToken_GetDeviceChange = fakeChange;
        ZTToken_ClearMemInfo = fakeClear;
        m_savedPolicy = g_launchPolicy;
        g_launchPolicy = {0, 1, 1};  // no launch script here: give up at once
        g_dwDevCount = 0;
        resetFake();
    }
    void TearDown() override
    {
        g_launchPolicy = m_savedPolicy;
        SlotManagerFinalize();
    }
    static void resetFake()
    {
        std::lock_guard<std::mutex> lock(g_fake.mutex);
        g_fake.keys.clear();
        g_fake.enumResult = 0;
        g_fake.claimedListed = 0;
        g_fake.allCount = 0;
        g_fake.followExpected = false;
        g_fake.removed.clear();
        g_fake.added.clear();
        g_fake.changeResult = 0;
        g_fake.claimedChanges = 0;
        g_fake.enumCalls = g_fake.destroyCalls = g_fake.changeCalls = g_fake.opens = g_fake.closes = 0;
        g_fake.cleared.clear();
    }
    static const ZTSlotRegistry* reg() { return static_cast<const ZTSlotRegistry*>(g_pSharedMemory); }
    // The launcher is a detached thread: wait for its last line before the
    // test (and the process) ends under it.
    bool waitForLog(const std::string& text) const
    {
        for (int i = 0; i < 500; ++i) {
            if (readFile(m_root.tempDir() + "/zvittarn/ztdaemon_log.log").find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    TestRoot m_root;
    LaunchPolicy m_savedPolicy {};
};

}  // namespace

TEST_F(EnumPass, SlotNumbersOutsideTheRegistryNeverReachIt)
{
    g_fake.keys = {{"KEY-SEVEN", 7}, {"KEY-HIGH", 0x100000001ull}, {"KEY-ONE", 1}};
    g_fake.allCount = 3;
    g_fake.removed = {5, 0x100000002ull};
    g_fake.added = {1, 9, 0xFFFFFFFFFFFFFFFFull};
    g_dwDevCount = 3;
    threadEnumDevice(const_cast<uint64_t*>(&g_nPostions_init));

    ASSERT_NE(nullptr, reg());
    EXPECT_EQ(1, reg()->slotRecords[1].present);
    EXPECT_STREQ("KEY-ONE", reg()->slotRecords[1].deviceName);
    EXPECT_EQ(1, reg()->slotCount) << "only the valid key was published";
    for (int slot : {0, 2, 3})
        EXPECT_EQ(0, reg()->slotRecords[slot].present) << slot;
    // Out-of-range removals are neither marked nor cleared from the memory store.
    EXPECT_TRUE(g_fake.cleared.empty());
    // Every key that was opened was closed again.
    EXPECT_EQ(g_fake.opens.load(), g_fake.closes.load());
    // Slot 1 was added: one launcher ran (and gave up, there is no script here).
    EXPECT_TRUE(waitForLog("leave startOrStopZudeVovavadEruds"));
}

TEST_F(EnumPass, CountsBeyondTheArraysAreBounded)
{
    for (int i = 0; i < 10; ++i)
        g_fake.keys.push_back({"KEY-" + std::to_string(i), static_cast<uint64_t>(i % 4)});
    g_fake.claimedListed = 5000;  // more than the ten handles the pass holds
    g_fake.allCount = 10;
    g_fake.removed = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1};
    g_fake.claimedChanges = 1000;  // more than the ten entries of the list
    g_dwDevCount = 10;
    threadEnumDevice(const_cast<uint64_t*>(&g_nPostions_init));
    EXPECT_EQ(10, g_fake.opens.load());
    // Removed slots: the ten listed entries, each cleared once, nothing beyond.
    EXPECT_EQ(10u, g_fake.cleared.size());
}

TEST_F(EnumPass, ATokenLibraryThatKeepsFailingEndsThePass)
{
    g_fake.enumResult = 0x10000105u;
    g_fake.changeResult = 0x10000105u;
    g_fake.keys = {{"NEVER-SEEN", 0}};
    g_fake.claimedChanges = 3;
    g_fake.added = {0, 1, 2};
    threadEnumDevice(const_cast<uint64_t*>(&g_nPostions_add));
    EXPECT_EQ(15, g_fake.enumCalls.load());
    EXPECT_EQ(0, g_fake.opens.load()) << "a failed enumeration lists nothing to open";
    EXPECT_EQ(1, g_fake.destroyCalls.load());
    EXPECT_EQ(2, g_fake.changeCalls.load());
    EXPECT_EQ(0, reg()->slotRecords[0].present);
    EXPECT_EQ(1u, g_dwDevCount);

    // INIT/DEL stop when the counts agree; a failure then skips the rest.
    resetFake();
    g_fake.enumResult = 0x10000105u;
    g_fake.allCount = 0;
    threadEnumDevice(const_cast<uint64_t*>(&g_nPostions_del));
    EXPECT_EQ(0u, g_dwDevCount);
    EXPECT_EQ(1, g_fake.enumCalls.load());
    EXPECT_EQ(0, g_fake.destroyCalls.load());
    EXPECT_EQ(2, g_fake.changeCalls.load());
    // A removal with nothing expected stays at zero.
    threadEnumDevice(const_cast<uint64_t*>(&g_nPostions_del));
    EXPECT_EQ(0u, g_dwDevCount);
}

TEST_F(EnumPass, OverlappingPassesKeepTheExpectedCount)
{
    g_fake.keys = {{"KEY-A", 0}, {"KEY-B", 1}, {"KEY-C", 2}, {"KEY-D", 3}};
    g_fake.followExpected = true;
    // Four keys were there before: a removal that wins the lock before every
    // insertion must not meet the count's floor, or the total depends on order.
    g_dwDevCount = 4;
    std::vector<std::thread> passes;
    for (int i = 0; i < 8; ++i)
        passes.emplace_back(threadEnumDevice, const_cast<uint64_t*>(&g_nPostions_add));
    for (int i = 0; i < 4; ++i)
        passes.emplace_back(threadEnumDevice, const_cast<uint64_t*>(&g_nPostions_del));
    for (std::thread& t : passes)
        t.join();
    EXPECT_EQ(8u, g_dwDevCount);
    // Each pass did its own enumeration and its own change report.
    EXPECT_GE(g_fake.enumCalls.load(), 12);
    EXPECT_EQ(24, g_fake.changeCalls.load());
    for (int slot = 0; slot < 4; ++slot) {
        EXPECT_EQ(1, reg()->slotRecords[slot].present);
        EXPECT_EQ("KEY-" + std::string(1, static_cast<char>('A' + slot)), std::string(reg()->slotRecords[slot].deviceName));
    }
}

TEST_F(EnumPass, PassesQueuedBehindOthersSeeEveryEventAnnouncedBeforeThem)
{
    // Four keys plugged at once: the library lists all four by the time any
    // pass runs. Each queued pass must count all four events, or it waits out
    // its attempts on a count that lags the bus, and under a steady stream of
    // plugs the queue of waiting passes (a thread each) never drains.
    g_fake.keys = {{"KEY-A", 0}, {"KEY-B", 1}, {"KEY-C", 2}, {"KEY-D", 3}};
    g_fake.allCount = 4;
    for (int i = 0; i < 4; ++i)
        startEnumDeviceThread(&g_nPostions_add);
    ASSERT_TRUE(pollUntil([] { return g_fake.changeCalls.load() == 8; }, std::chrono::seconds(60)));
    EXPECT_EQ(4u, g_dwDevCount);
    // One attempt each when the count is right; a lagging count made it 46.
    EXPECT_LE(g_fake.enumCalls.load(), 8);
    for (int slot = 0; slot < 4; ++slot)
        EXPECT_EQ(1, reg()->slotRecords[slot].present) << slot;
}
