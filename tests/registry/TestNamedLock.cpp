// The registry lock between real processes: no lost update while everyone
// lives, no hang when a holder is killed, and nothing taken from a live holder.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "ChildProcess.h"
#include "registry/MutexLock.h"
#include "registry/Pkcs11Mutex.h"
#include "registry/Pkcs11SharedMemory.h"
#include "registry/Pkcs11SlotManager.h"
#include "RegistryFixture.h"

namespace {

// Slot 3's last reserved bytes: written by nobody else.
const size_t kCounterOffset = slotAt(3) + 12952;

uint32_t counterValue()
{
    uint32_t v = 0;
    memcpy(&v, static_cast<const char*>(g_pSharedMemory) + kCounterOffset, 4);
    return v;
}

int semValue(const std::string& name)
{
    sem_t* sem = sem_open(name.c_str(), 0);
    if (sem == SEM_FAILED)
        return -1;
    int value = -1;
    sem_getvalue(sem, &value);
    sem_close(sem);
    return value;
}

// Upper bound for taking over a dead holder's lock: a few wait slices plus
// the start-up of sanitized processes on a loaded machine.
const auto kRecoveryBound = std::chrono::seconds(3);

}  // namespace

TEST_F(RegistryTest, ProcessesAndThreadsLoseNoIncrement)
{
    ASSERT_EQ(SlotManagerInitialize(), 0u);
    const int kProcs = 4, kIterations = 3000;
    std::vector<pid_t> peers;
    for (int i = 0; i < kProcs; ++i)
        peers.push_back(spawnPeer({"count", std::to_string(kIterations), std::to_string(kCounterOffset)}));
    // This process's threads join in through the same semaphore.
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([] {
            volatile unsigned char* base = static_cast<volatile unsigned char*>(g_pSharedMemory);
            for (int i = 0; i < kIterations; ++i) {
                ASSERT_EQ(WinProcLock(), 0u);
                uint32_t v = 0;
                for (int b = 0; b < 4; ++b)
                    v |= static_cast<uint32_t>(base[kCounterOffset + b]) << (8 * b);
                if (i % 8 == 0)
                    std::this_thread::yield();
                ++v;
                for (int b = 0; b < 4; ++b)
                    base[kCounterOffset + b] = static_cast<unsigned char>(v >> (8 * b));
                WinProcUnLock();
            }
        });
    }
    for (auto& t : threads)
        t.join();
    for (pid_t pid : peers)
        EXPECT_EQ(waitChild(pid), 0);
    EXPECT_EQ(counterValue(), static_cast<uint32_t>((kProcs + 2) * kIterations));
    EXPECT_EQ(semValue(lockName()), 1) << "every take was given back exactly once";
}

TEST_F(RegistryTest, KilledHolderDoesNotBlockTheOthers)
{
    ASSERT_EQ(SlotManagerInitialize(), 0u);
    const std::string ready = tempFile("hold.ready");
    pid_t holder = spawnPeer({"hold", ready});
    ASSERT_TRUE(waitForFile(ready, 10000));

    // A live holder keeps its lock, however long the wait.
    ASSERT_NE(g_pSharedMemoryLock, nullptr);
    EXPECT_FALSE(g_pSharedMemoryLock->Lock(1));

    // Waiters already queued when the holder dies: exactly one inherits its
    // token at a time, so their increments still all count.
    const int kWaiters = 3, kIterations = 200;
    std::vector<pid_t> waiters;
    for (int i = 0; i < kWaiters; ++i)
        waiters.push_back(spawnPeer({"count", std::to_string(kIterations), std::to_string(kCounterOffset)}));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(counterValue(), 0u);

    // Killed and not yet reaped: a zombie is as dead as a vanished pid.
    ASSERT_EQ(kill(holder, SIGKILL), 0);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(WinProcLock(), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kRecoveryBound);
    WinProcUnLock();
    for (pid_t pid : waiters)
        EXPECT_EQ(waitChild(pid), 0);
    EXPECT_EQ(counterValue(), static_cast<uint32_t>(kWaiters * kIterations));
    EXPECT_EQ(semValue(lockName()), 1) << "the dead holder's token was inherited, not duplicated";
    waitChild(holder);
}

TEST_F(RegistryTest, HolderKilledAndReapedIsRecoveredToo)
{
    ASSERT_EQ(SlotManagerInitialize(), 0u);
    const std::string ready = tempFile("hold.ready");
    pid_t holder = spawnPeer({"hold", ready});
    ASSERT_TRUE(waitForFile(ready, 10000));
    ASSERT_EQ(kill(holder, SIGKILL), 0);
    waitChild(holder);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(WinProcLock(), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kRecoveryBound);
    // The registry works on: a publish and a read under the recovered lock.
    WinProcUnLock();
    unsigned char info[sizeof(TokenInfo64)] = {0};
    unsigned char label[64];
    memset(label, ' ', sizeof(label));
    EXPECT_EQ(SlotManagerAddSlotInfo(2, "VKEY-2", info, nullptr, label), 0u);
    char name[260];
    EXPECT_EQ(SlotManagerGetSlotName(2, name), 0u);
    EXPECT_EQ(semValue(lockName()), 1);
}

TEST_F(RegistryTest, CreatingTheLockJoinsASemaphoreOthersHold)
{
    ASSERT_EQ(peer({"init"}), 0);
    const std::string ready = tempFile("hold.ready");
    pid_t holder = spawnPeer({"hold", ready, "1500"});
    ASSERT_TRUE(waitForFile(ready, 10000));
    ASSERT_EQ(semValue(lockName()), 0);

    ASSERT_EQ(OpenSharedMemory(), 0u);
    ASSERT_EQ(AttachToSharedMemeory(), 0u);
    ASSERT_EQ(CreateWinProcLock(), 0u);
    CZTMutex* first = g_pSharedMemoryLock;
    EXPECT_EQ(CreateWinProcLock(), 0u);
    EXPECT_EQ(g_pSharedMemoryLock, first) << "a second call keeps the first lock object";
    EXPECT_EQ(semValue(lockName()), 0) << "the held semaphore was not replaced";

    // Blocks until the holder lets go, then holds it.
    ASSERT_EQ(WinProcLock(), 0u);
    EXPECT_EQ(waitChild(holder), 0);
    EXPECT_EQ(semValue(lockName()), 0);
    WinProcUnLock();
    EXPECT_EQ(semValue(lockName()), 1);
}

TEST_F(RegistryTest, SharedObjectsAreOpenToEveryUserWhateverTheUmask)
{
    mode_t saved = umask(077);
    DWORD rv = SlotManagerInitialize();
    umask(saved);
    ASSERT_EQ(rv, 0u);
    struct stat st {};
    ASSERT_EQ(stat(("/dev/shm/" + shmName()).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0777u);
    ASSERT_EQ(stat(("/dev/shm/sem." + lockName()).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0777u);
    ASSERT_EQ(stat(("/dev/shm/" + lockName() + ".holder").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0777u);
}

TEST_F(RegistryTest, RegistryRefusesToRunWithoutItsLock)
{
    ASSERT_EQ(peer({"init"}), 0);
    ASSERT_EQ(OpenSharedMemory(), 0u);
    ASSERT_EQ(AttachToSharedMemeory(), 0u);
    // No CreateWinProcLock: every operation says so instead of racing.
    EXPECT_EQ(WinProcLock(), 0x10000007u);
    char name[260];
    EXPECT_EQ(SlotManagerGetSlotName(0, name), 0x10000007u);
    EXPECT_EQ(SlotManagerSetSlotChanged(2, 0), 0x10000007u);
    EXPECT_FALSE(SlotManagerRegisterProcess());
}

TEST_F(RegistryTest, OpeningTheLockNeverChangesTheModeOfALinkedFile)
{
    // Anyone may plant names in /dev/shm; a link there must not lend its
    // target our permission change.
    const std::string target = tempFile("private");
    writeFile(target, "secret");
    ASSERT_EQ(chmod(target.c_str(), 0600), 0);
    const std::string link = "/dev/shm/sem." + lockName();
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    CreateWinProcLock();
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    unlink(link.c_str());
}

TEST_F(RegistryTest, ALockHeldByAProcessThatNeverRecordsItselfMakesEveryWaitGiveUpWithAnError)
{
    ASSERT_EQ(SlotManagerInitialize(), 0u);
    ASSERT_EQ(mkdir(tempFile("zvittarn").c_str(), 0700), 0);  // logging on
    // Takes the semaphore the way a third-party library may: by name, with
    // no holder record, so nothing can prove it abandoned.
    const std::string ready = tempFile("raw.ready"), release = tempFile("raw.release");
    const std::string name = lockName();
    pid_t holder = forkChild([&] {
        sem_t* sem = sem_open(name.c_str(), 0);
        if (sem == SEM_FAILED || sem_wait(sem) != 0)
            return 1;
        writeFile(ready, "1");
        while (access(release.c_str(), F_OK) != 0)
            usleep(10000);
        sem_post(sem);
        return 0;
    });
    ASSERT_TRUE(waitForFile(ready, 10000));

    // The daemon's publish, the manager's registration and read, at once.
    using Clock = std::chrono::steady_clock;
    std::vector<DWORD> codes(3, 0);
    std::vector<long> tookMs(3, 0);
    std::vector<std::thread> waits;
    for (int i = 0; i < 3; ++i) {
        waits.emplace_back([&, i] {
            const auto start = Clock::now();
            unsigned char info[sizeof(TokenInfo64)] = {0};
            unsigned char label[64] = {0};
            char slotName[260];
            if (i == 0)
                codes[i] = SlotManagerAddSlotInfo(1, "VKEY-1", info, nullptr, label);
            else if (i == 1)
                codes[i] = SlotManagerRegisterProcess() ? 0 : 1;
            else
                codes[i] = SlotManagerGetSlotName(1, slotName);
            tookMs[i] = static_cast<long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        });
    }
    for (auto& t : waits)
        t.join();
    long longest = 0;
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(codes[i], 0u) << "wait " << i << " reported success without the lock";
        EXPECT_GE(tookMs[i], static_cast<long>(CZTMutex::kGiveUpMs) - 50) << "wait " << i;
        longest = std::max(longest, tookMs[i]);
    }
    printf("lock never released: 3 waits gave up with an error, longest %ld ms (bound %u ms)\n", longest,
           CZTMutex::kGiveUpMs);
    EXPECT_LT(longest, static_cast<long>(CZTMutex::kGiveUpMs) + 3000);
    const std::string log = readFile(tempFile("zvittarn/zt_log.log"));
    EXPECT_NE(log.find("still waiting after"), std::string::npos) << log;
    EXPECT_NE(log.find("gave up after"), std::string::npos) << log;
    EXPECT_NE(log.find("a process that does not record itself holds it"), std::string::npos) << log;
    // Nothing was published under a lock nobody held.
    char slotName[260];
    writeFile(release, "1");
    EXPECT_EQ(waitChild(holder), 0);
    EXPECT_EQ(SlotManagerGetSlotName(1, slotName), 0x1004u);
    // Once let go, the lock serves again, with exactly one token: the waits
    // that gave up neither took nor gave one back.
    EXPECT_EQ(WinProcLock(), 0u);
    EXPECT_EQ(semValue(lockName()), 0);
    WinProcUnLock();
    EXPECT_EQ(semValue(lockName()), 1);
}
