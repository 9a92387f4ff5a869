// A daemon-side process publishes and marks; consumer processes collect what
// was marked for them, each exactly once.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

#include "ChildProcess.h"
#include "registry/Pkcs11Mutex.h"
#include "registry/Pkcs11SharedMemory.h"
#include "registry/Pkcs11SlotManager.h"
#include "RegistryFixture.h"

namespace {

// Waits until a consumer's output file holds the expected text.
bool waitForContent(const std::string& path, const std::string& expected, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (readFile(path) != expected) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

int32_t slotmapOf(int index)
{
    const ZTSlotRegistry* reg = static_cast<const ZTSlotRegistry*>(g_pSharedMemory);
    return __atomic_load_n(&reg->procs[index].slotmap, __ATOMIC_ACQUIRE);
}

}  // namespace

TEST_F(RegistryTest, ConsumersCollectExactlyTheirChanges)
{
    ASSERT_EQ(peer({"init"}), 0);
    ASSERT_EQ(OpenSharedMemory(), 0u);
    ASSERT_EQ(AttachToSharedMemeory(), 0u);

    const std::string readyA = tempFile("a.ready"), outA = tempFile("a.out");
    const std::string readyB = tempFile("b.ready"), outB = tempFile("b.out");
    const std::string readyC = tempFile("c.ready");
    pid_t a = spawnPeer({"consume", "2", readyA, outA});
    pid_t b = spawnPeer({"consume", "2", readyB, outB});
    // C registers and never collects: it keeps its first change.
    spawnPeer({"register", readyC});
    ASSERT_TRUE(waitForFile(readyA, 10000) && waitForFile(readyB, 10000) && waitForFile(readyC, 10000));
    const int indexA = std::stoi(readFile(readyA));
    const int indexB = std::stoi(readFile(readyB));
    const int indexC = std::stoi(readFile(readyC));
    EXPECT_NE(indexA, indexB);
    EXPECT_NE(indexB, indexC);

    ASSERT_EQ(peer({"add", "1", "VKEY-0001", "0x10", "ONE"}), 0);
    ASSERT_EQ(peer({"mark", "2", "1"}), 0);
    EXPECT_TRUE(waitForContent(outA, "2 1\n", 10000)) << readFile(outA);
    EXPECT_TRUE(waitForContent(outB, "2 1\n", 10000)) << readFile(outB);
    EXPECT_EQ(slotmapOf(indexC), 1);

    ASSERT_EQ(peer({"mark", "3", "1"}), 0);
    EXPECT_TRUE(waitForContent(outA, "2 1\n3 1\n", 10000)) << readFile(outA);
    EXPECT_TRUE(waitForContent(outB, "2 1\n3 1\n", 10000)) << readFile(outB);
    EXPECT_EQ(waitChild(a), 0);
    EXPECT_EQ(waitChild(b), 0);
    EXPECT_EQ(slotmapOf(indexC), 1) << "a pending change is not replaced";

    // The finished consumers gave their entries back.
    const ZTSlotRegistry* reg = static_cast<const ZTSlotRegistry*>(g_pSharedMemory);
    EXPECT_EQ(reg->procs[indexA].inUse, 0);
    EXPECT_EQ(reg->procs[indexB].inUse, 0);
    EXPECT_EQ(reg->procs[indexC].inUse, 1);
}

TEST_F(RegistryTest, DaemonRestartLeavesAttachedConsumersOnTheOldSegment)
{
    ASSERT_NO_FATAL_FAILURE(joinAsManager());
    const int oldIndex = g_MgrProcIndex;
    const std::string readyA = tempFile("a.ready"), outA = tempFile("a.out");
    pid_t a = spawnPeer({"consume", "1", readyA, outA});
    ASSERT_TRUE(waitForFile(readyA, 10000));

    ASSERT_EQ(peer({"init"}), 0);
    ASSERT_EQ(peer({"add", "0", "VKEY-NEW", "0x1", "NEW"}), 0);
    ASSERT_EQ(peer({"mark", "2", "0"}), 0);

    // Our old mapping is intact and still ours; the new segment knows nobody.
    const ZTSlotRegistry* old = static_cast<const ZTSlotRegistry*>(g_pSharedMemory);
    EXPECT_EQ(old->procs[oldIndex].inUse, 1);
    EXPECT_EQ(old->procs[oldIndex].slotmap, -1);
    EXPECT_EQ(old->slotRecords[0].present, 0);
    std::string fresh = dumpSegment();
    ASSERT_EQ(fresh.size(), 57472u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(fresh[procAt(i)], 0) << "entry " << i;
    EXPECT_EQ(fresh[slotAt(0) + 268], 1);

    // The old consumer hears nothing; still alive, no crash.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(readFile(outA), "");
    EXPECT_EQ(kill(a, 0), 0);

    // Joining again reaches the new registry and its changes.
    DetachFromSharedMemory();
    ASSERT_EQ(OpenSharedMemory(), 0u);
    ASSERT_EQ(AttachToSharedMemeory(), 0u);
    ASSERT_TRUE(SlotManagerRegisterProcess());
    ASSERT_EQ(peer({"mark", "2", "0"}), 0);
    int kind = 0, slot = 0;
    ASSERT_EQ(SlotManagerGetSlotChanged(&kind, &slot, registryWaitStopped), 0u);
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(slot, 0);
    char name[260];
    ASSERT_EQ(SlotManagerGetSlotName(0, name), 0u);
    EXPECT_STREQ(name, "VKEY-NEW");
}

TEST_F(RegistryTest, RejoiningFollowsARestartedDaemonAndEndsTheOldWait)
{
    ASSERT_NO_FATAL_FAILURE(joinAsManager());
    const ZTSlotRegistry* old = static_cast<const ZTSlotRegistry*>(g_pSharedMemory);
    const int oldIndex = g_MgrProcIndex;
    BOOL16 rejoined = TRUE;
    ASSERT_EQ(SlotManagerRejoinRegistry(&rejoined), 0u);
    EXPECT_FALSE(rejoined) << "nothing moved yet";

    // A wait of ours is parked on the old segment when the daemon restarts.
    int kind = -1, slot = -1;
    std::atomic<bool> waitEnded{false};
    std::thread waiter([&] {
        SlotManagerGetSlotChanged(&kind, &slot, registryWaitStopped);
        waitEnded = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(peer({"init"}), 0);
    ASSERT_EQ(peer({"add", "0", "VKEY-NEW", "0x1", "NEW"}), 0);

    ASSERT_EQ(SlotManagerRejoinRegistry(&rejoined), 0u);
    EXPECT_TRUE(rejoined);
    for (int i = 0; i < 300 && !waitEnded; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(waitEnded) << "the wait on the old segment was not ended";
    g_registryWaitStop = true;  // frees a wait that was not ended, for the join
    waiter.join();
    g_registryWaitStop = false;
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(slot, 255);
    EXPECT_NE(g_pSharedMemory, old);
    EXPECT_EQ(old->procs[oldIndex].inUse, 1) << "the old mapping stays readable";

    // The new registry now knows us, as another process sees it, and our
    // changes and slots come from the new daemon.
    const std::string fresh = dumpSegment();
    ASSERT_EQ(fresh.size(), 57472u);
    EXPECT_EQ(fresh[procAt(g_MgrProcIndex)], 1);
    EXPECT_EQ(le64(fresh, procAt(g_MgrProcIndex) + 8), static_cast<uint64_t>(getpid()));
    char name[260];
    ASSERT_EQ(SlotManagerGetSlotName(0, name), 0u);
    EXPECT_STREQ(name, "VKEY-NEW");
    ASSERT_EQ(peer({"mark", "2", "0"}), 0);
    ASSERT_EQ(SlotManagerGetSlotChanged(&kind, &slot, registryWaitStopped), 0u);
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(slot, 0);
    ASSERT_EQ(SlotManagerRejoinRegistry(&rejoined), 0u);
    EXPECT_FALSE(rejoined);

    // A daemon that filled its registry after we joined it wiped our entry.
    static_cast<ZTSlotRegistry*>(g_pSharedMemory)->procs[g_MgrProcIndex].inUse = 0;
    ASSERT_EQ(SlotManagerRejoinRegistry(&rejoined), 0u);
    EXPECT_TRUE(rejoined);
    EXPECT_EQ(dumpSegment()[procAt(g_MgrProcIndex)], 1);
}

TEST_F(RegistryTest, RejoiningKeepsTheRegistryWhileTheNameIsGoneOrHalfMade)
{
    ASSERT_NO_FATAL_FAILURE(joinAsManager());
    void* const ours = g_pSharedMemory;
    BOOL16 rejoined = TRUE;

    // A stopped daemon: the name is gone, our registry is all there is.
    ASSERT_EQ(shm_unlink(shmName().c_str()), 0);
    EXPECT_EQ(SlotManagerRejoinRegistry(&rejoined), 0u);
    EXPECT_FALSE(rejoined);
    EXPECT_EQ(g_pSharedMemory, ours);

    // A new daemon caught between creating and sizing its segment.
    int fd = shm_open(shmName().c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(SlotManagerRejoinRegistry(&rejoined), 0x10000003u);
    EXPECT_FALSE(rejoined);
    EXPECT_EQ(g_pSharedMemory, ours);
    EXPECT_EQ(static_cast<ZTSlotRegistry*>(ours)->procs[g_MgrProcIndex].inUse, 1);

    // Once it is whole, the next round joins it.
    ASSERT_EQ(ftruncate(fd, 57472), 0);
    close(fd);
    EXPECT_EQ(SlotManagerRejoinRegistry(&rejoined), 0u);
    EXPECT_TRUE(rejoined);
    void* const joined = g_pSharedMemory;
    EXPECT_NE(joined, ours);
    EXPECT_EQ(dumpSegment()[procAt(g_MgrProcIndex)], 1);

    // A CSPName changed meanwhile names another registry and another lock:
    // a daemon that comes up under it is not one to follow.
    const std::string otherCsp = m_root->cspName() + "Other";
    setIniValue(m_root->configPath(), "ZTTokenInfo", "CSPName", otherCsp);
    const std::string otherName = simplifiedCspName(otherCsp) + "P11X64";
    shm_unlink(otherName.c_str());
    fd = shm_open(otherName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 57472), 0);
    close(fd);
    EXPECT_EQ(SlotManagerRejoinRegistry(&rejoined), 0u);
    EXPECT_FALSE(rejoined);
    EXPECT_EQ(g_pSharedMemory, joined);
    shm_unlink(otherName.c_str());
}

TEST_F(RegistryTest, AConsumerJoiningBeforeTheDaemonFillsItsRegistryHasNothingPending)
{
    // A manager started with the daemon can find the segment made but still
    // all zeros; a 0 left in its entry would read as slot 0 "removed".
    int fd = shm_open(shmName().c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 57472), 0);
    close(fd);
    ASSERT_EQ(OpenSharedMemory(), 0u);
    ASSERT_EQ(AttachToSharedMemeory(), 0u);
    ASSERT_EQ(CreateWinProcLock(), 0u);
    ASSERT_TRUE(SlotManagerRegisterProcess());
    EXPECT_EQ(slotmapOf(g_MgrProcIndex), -1);
    g_registryWaitStop = true;
    int kind = -1, slot = -1;
    EXPECT_EQ(SlotManagerGetSlotChanged(&kind, &slot, registryWaitStopped), 0u);
    EXPECT_EQ(slot, 255);
}

TEST_F(RegistryTest, StopPredicateEndsTheWaitWithNothingCollected)
{
    ASSERT_EQ(SlotManagerInitialize(), 0u);
    ASSERT_TRUE(SlotManagerRegisterProcess());
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        g_registryWaitStop = true;
    });
    int kind = -1, slot = -1;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SlotManagerGetSlotChanged(&kind, &slot, registryWaitStopped), 0u);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(slot, 255);
    EXPECT_EQ(slotmapOf(g_MgrProcIndex), -1);

    // A change pending before the call is collected at once, stop asked or not.
    ASSERT_EQ(SlotManagerSetSlotChanged(3, 2), 0u);
    EXPECT_EQ(SlotManagerGetSlotChanged(&kind, &slot, registryWaitStopped), 0u);
    EXPECT_EQ(kind, 3);
    EXPECT_EQ(slot, 2);
}
