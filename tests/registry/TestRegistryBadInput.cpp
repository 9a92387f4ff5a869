// What others may hand the registry: a segment that is not ours, slot numbers
// and names out of range, a process table full of live and dead entries.
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "ChildProcess.h"
#include "registry/Pkcs11Mutex.h"
#include "registry/Pkcs11SharedMemory.h"
#include "registry/Pkcs11SlotManager.h"
#include "RegistryFixture.h"
#include "RegistryTokenInfo.h"

namespace {

std::string segmentCopy()
{
    return std::string(static_cast<const char*>(g_pSharedMemory), ZT_P11_SHM_SIZE);
}

ZTSlotRegistry* reg()
{
    return static_cast<ZTSlotRegistry*>(g_pSharedMemory);
}

// A pid that belonged to a process that has ended and been reaped.
pid_t endedPid()
{
    pid_t pid = forkChild([] { return 0; });
    waitChild(pid);
    return pid;
}

}  // namespace

TEST_F(RegistryTest, SegmentOfTheWrongSizeIsRefusedBeforeMapping)
{
    for (off_t size : {off_t(0), off_t(4096), off_t(57471), off_t(57473), off_t(1 << 20)}) {
        int fd = shm_open(shmName().c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, size), 0);
        close(fd);
        ASSERT_EQ(OpenSharedMemory(), 0u);
        EXPECT_EQ(AttachToSharedMemeory(), 0x10000003u) << "size " << size;
        EXPECT_EQ(g_pSharedMemory, nullptr);
        shm_unlink(shmName().c_str());
    }
    // Nothing mapped: every operation says so instead of touching memory.
    ASSERT_EQ(CreateWinProcLock(), 0u);
    char name[260];
    EXPECT_EQ(SlotManagerGetSlotName(0, name), 0x10000003u);
    EXPECT_EQ(SlotManagerSetSlotChanged(2, 0), 0x10000003u);
    EXPECT_FALSE(SlotManagerRegisterProcess());

    DestroySharedMemory();
    EXPECT_EQ(OpenSharedMemory(), 1u) << "no segment yet";
    EXPECT_EQ(AttachToSharedMemeory(), 0x10000007u);
}

TEST_F(RegistryTest, SlotNumbersAndKindsOutsideTheTableChangeNothing)
{
    ASSERT_EQ(SlotManagerInitialize(), 0u);
    ASSERT_TRUE(SlotManagerRegisterProcess());
    unsigned char info[sizeof(TokenInfo64)];
    fillTestTokenInfo(info, 0);
    unsigned char label[64];
    memset(label, 'L', sizeof(label));
    const std::string before = segmentCopy();
    for (int slot : {-1, 4, 255, 1 << 30}) {
        EXPECT_EQ(SlotManagerAddSlotInfo(slot, "VKEY", info, nullptr, label), 0x10000007u) << slot;
        EXPECT_EQ(SlotManagerRemoveSlotInfo(slot, "VKEY", info, nullptr), 0x10000007u) << slot;
        EXPECT_EQ(SlotManagerChangeDeviceLabel(slot, label, 0), 0x10000007u) << slot;
        EXPECT_EQ(SlotManagerSetSlotChanged(2, slot), 0x10000007u) << slot;
        EXPECT_EQ(SlotManagerSetSlotChanged(3, slot), 0x10000007u) << slot;
        char name[260] = "untouched";
        EXPECT_EQ(SlotManagerGetSlotName(slot, name), 0x10000007u) << slot;
        EXPECT_STREQ(name, "untouched");
        EXPECT_EQ(SlotManagerGetSlotInfoBySlotNo(slot, nullptr, name, nullptr, nullptr, nullptr), 0x10000007u);
    }
    for (int kind : {0, 1, 4, -2})
        EXPECT_EQ(SlotManagerSetSlotChanged(kind, 1), 0x10000007u) << kind;
    EXPECT_EQ(SlotManagerAddSlotInfo(0, nullptr, info, nullptr, label), 0x10000007u);
    int slot = 9;
    EXPECT_EQ(SlotManagerGetSlotByName(&slot, "VKEY", 1000), 0u) << "count is capped at four slots";
    EXPECT_EQ(slot, 9);
    EXPECT_TRUE(before == segmentCopy()) << "a refused call wrote into the segment";

    // A foreign writer's slotmap that names no slot is reported as nothing.
    __atomic_store_n(&reg()->procs[g_MgrProcIndex].slotmap, 7, __ATOMIC_RELEASE);
    int kind = -1;
    EXPECT_EQ(SlotManagerGetSlotChanged(&kind, &slot, registryWaitStopped), 0u);
    EXPECT_EQ(slot, 255);
    EXPECT_EQ(kind, 0);
}

TEST_F(RegistryTest, OverlongDeviceNamesAreCutWithTheirTerminator)
{
    ASSERT_EQ(SlotManagerInitialize(), 0u);
    unsigned char info[sizeof(TokenInfo64)] = {0};
    unsigned char label[64];
    memset(label, ' ', sizeof(label));
    const std::string longName(300, 'N');
    ASSERT_EQ(SlotManagerAddSlotInfo(1, longName.c_str(), info, nullptr, label), 0u);
    const ZTSlotRecord& rec = reg()->slotRecords[1];
    EXPECT_EQ(std::string(rec.deviceName, 255), std::string(255, 'N'));
    EXPECT_EQ(rec.deviceName[255], '\0');
    EXPECT_EQ(rec.deviceHandle, 0u) << "the field after the name is untouched";

    // Exactly the field's capacity for the caller: no byte written past it.
    std::vector<char> out(256, 'x');
    ASSERT_EQ(SlotManagerGetSlotName(1, out.data()), 0u);
    EXPECT_EQ(strlen(out.data()), 255u);

    int slot = -1;
    EXPECT_EQ(SlotManagerGetSlotByName(&slot, longName.c_str(), 4), 0u);
    EXPECT_EQ(slot, -1) << "a name longer than the field matches nothing";
    EXPECT_EQ(SlotManagerGetSlotByName(&slot, longName.substr(0, 255).c_str(), 4), 0u);
    EXPECT_EQ(slot, 1);

    // A field filled to the last byte by someone else is still read bounded.
    memset(reg()->slotRecords[1].deviceName, 'Z', ZT_DEVNAME_FIELD);
    ASSERT_EQ(SlotManagerGetSlotName(1, out.data()), 0u);
    EXPECT_EQ(std::string(out.data()), std::string(255, 'Z'));
    void* handle = nullptr;
    ASSERT_EQ(SlotManagerGetSlotInfoBySlotNo(1, &handle, out.data(), nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(strlen(out.data()), 255u);
}

TEST_F(RegistryTest, FullProcessTableGivesOnlyDeadEntriesAway)
{
    ASSERT_EQ(SlotManagerInitialize(), 0u);
    // A live process that is not us, so our own pid never matches an entry.
    const std::string ready = tempFile("live.ready");
    pid_t live = spawnPeer({"register", ready});
    ASSERT_TRUE(waitForFile(ready, 10000));
    pid_t zombie = forkChild([] {
        pause();
        return 0;
    });
    kill(zombie, SIGKILL);
    // Wait until it is a zombie without reaping it.
    siginfo_t si{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(zombie), &si, WEXITED | WNOWAIT), 0);
    const pid_t ended = endedPid();

    for (int i = 0; i < 100; ++i) {
        ZTProcEntry& e = reg()->procs[i];
        e.inUse = 1;
        e.pid = (i % 2) ? live : getppid();
        e.slotmap = 2;
        e.registeredAt = 1000 + i;
    }
    reg()->procs[40].pid = ended;
    reg()->procs[77].pid = zombie;
    const std::string before = segmentCopy();

    ASSERT_TRUE(SlotManagerRegisterProcess());
    EXPECT_EQ(g_MgrProcIndex, 40);
    EXPECT_EQ(reg()->procs[40].slotmap, -1) << "the ended process's change is not passed on";
    EXPECT_EQ(reg()->procs[40].pid, static_cast<int64_t>(getpid()));

    // The next process gets the zombie's entry, and then the table is full.
    const std::string readyA = tempFile("a.ready"), readyB = tempFile("b.ready");
    spawnPeer({"register", readyA});
    ASSERT_TRUE(waitForFile(readyA, 10000));
    EXPECT_EQ(readFile(readyA), "77");
    std::vector<std::string> args{m_root->root(), "register", readyB};
    EXPECT_EQ(runProgram(REGISTRY_PEER, args), 3) << "only live entries are left";

    const std::string after = segmentCopy();
    for (int i = 0; i < 100; ++i) {
        if (i == 40 || i == 77)
            continue;
        EXPECT_EQ(after.substr(procAt(i), kProcSize), before.substr(procAt(i), kProcSize)) << "entry " << i;
    }
    waitChild(zombie);
    kill(live, SIGKILL);
}

TEST_F(RegistryTest, UnregisteringWithoutAnEntryLeavesOthersAlone)
{
    ASSERT_EQ(SlotManagerInitialize(), 0u);
    const std::string ready = tempFile("a.ready");
    spawnPeer({"register", ready});
    ASSERT_TRUE(waitForFile(ready, 10000));
    ASSERT_EQ(readFile(ready), "0");
    const std::string before = segmentCopy();

    // Never registered here: entry 0 is the peer's.
    SlotManagerUnRegisterProcess();
    EXPECT_TRUE(before == segmentCopy());
    int kind = 0, slot = 0;
    ASSERT_EQ(SlotManagerSetSlotChanged(2, 3), 0u);
    EXPECT_EQ(SlotManagerGetSlotChanged(&kind, &slot, registryWaitStopped), 0x10000007u);
    EXPECT_EQ(reg()->procs[0].slotmap, 3) << "the peer's change is still there for it";
}
