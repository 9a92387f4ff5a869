#include "MutexLock.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/PlatformApi.h"
#include "common/ZTLog.h"

// Why a side object and not the registry segment for the holder record: the
// PKCS#11 library may write any reserved byte of the segment, and the daemon
// replaces the segment at every start while the semaphore (and perhaps a
// holder) lives on. The record has to live exactly as long as the semaphore
// and be the same for every process, whatever segment it has mapped.
//
// Limits: a process killed between taking the semaphore and writing its word
// (or between clearing its word and posting) leaves a token that nobody
// claims, like a holder that does not record itself (the PKCS#11 library).
// Such a lock cannot be proven abandoned; the wait for it is logged and
// given up after kGiveUpMs. Each window is two adjacent instructions wide.

char g_semNameArray[ZT_SEM_NAME_COUNT][ZT_PATH_LEN] = {{0}};

namespace {

const uint64_t kPidBits = 22;
const uint64_t kPidMask = (uint64_t(1) << kPidBits) - 1;
const size_t kHolderRecordSize = 64;

std::atomic<uint64_t> s_selfWord{0};
pthread_once_t s_atforkOnce = PTHREAD_ONCE_INIT;

void forgetSelfWord()
{
    s_selfWord.store(0, std::memory_order_relaxed);
}

void installForkHandler()
{
    pthread_atfork(nullptr, nullptr, forgetSelfWord);
}

// State letter and start time (field 22) of /proc/<pid>/stat. False when the
// process does not exist.
bool readProcStat(long pid, char* state, uint64_t* startTicks)
{
    char path[64];
    snprintf(path, sizeof(path), "/proc/%ld/stat", pid);
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[1024];
    ssize_t n = read(fd, buf, sizeof(buf) - 1);
    close(fd);
    if (n <= 0)
        return false;
    buf[n] = '\0';
    // The command name may hold blanks and parentheses: fields start after the last ')'.
    char* p = strrchr(buf, ')');
    if (!p)
        return false;
    p++;
    int field = 2;
    char* save = nullptr;
    for (char* tok = strtok_r(p, " ", &save); tok; tok = strtok_r(nullptr, " ", &save)) {
        ++field;
        if (field == 3)
            *state = tok[0];
        if (field == 22) {
            *startTicks = strtoull(tok, nullptr, 10);
            return true;
        }
    }
    return false;
}

timespec monotonicNow()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts;
}

timespec addMs(timespec ts, long ms)
{
    ts.tv_sec += ms / 1000;
    ts.tv_nsec += (ms % 1000) * 1000000L;
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_sec += 1;
        ts.tv_nsec -= 1000000000L;
    }
    return ts;
}

bool before(const timespec& a, const timespec& b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

}  // namespace

uint64_t ztHolderWordOfSelf()
{
    uint64_t word = s_selfWord.load(std::memory_order_relaxed);
    if (word)
        return word;
    pthread_once(&s_atforkOnce, installForkHandler);
    long pid = static_cast<long>(getpid());
    char state = 0;
    uint64_t start = 0;
    if (!readProcStat(pid, &state, &start))
        start = 0;
    word = (start << kPidBits) | (static_cast<uint64_t>(pid) & kPidMask);
    s_selfWord.store(word, std::memory_order_relaxed);
    return word;
}

bool ztProcessIsDead(int64_t pid)
{
    if (pid <= 0 || pid > static_cast<int64_t>(kPidMask))
        return true;
    char state = 0;
    uint64_t start = 0;
    if (readProcStat(static_cast<long>(pid), &state, &start))
        return state == 'Z' || state == 'X';
    // Without /proc fall back on kill(): only "no such process" is proof.
    return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

bool ztHolderWordIsDead(uint64_t word)
{
    long pid = static_cast<long>(word & kPidMask);
    uint64_t start = word >> kPidBits;
    if (pid <= 0)
        return false;  // no holder recorded: nothing to prove
    char state = 0;
    uint64_t actual = 0;
    if (!readProcStat(pid, &state, &actual))
        return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
    if (state == 'Z' || state == 'X')
        return true;
    return start != 0 && actual != start;
}

CZTMutex::CZTMutex(const char* semNameIn) : semaphore(nullptr), named(1), m_holder(nullptr)
{
    memset(name, 0, sizeof(name));
    if (semNameIn)
        zt_strlcpy(name, semNameIn, sizeof(name));
    firstUseSemName(name);
    if (!name[0])
        return;

    // Opening without O_EXCL joins a semaphore that others (the PKCS#11
    // library, a running manager) already hold; it is never unlinked here.
    semaphore = sem_open(name, O_CREAT, 0777, 1);
    if (semaphore == SEM_FAILED) {
        ZTLog::WriteLog(ZT_LOG_STEP, "MutexLock", __LINE__, "sem_open(%s) failed, errno = %d", name, errno);
        semaphore = nullptr;
        return;
    }
    // Mode 0777 whatever the umask, so every user's processes share it. The
    // file lives in a world-writable folder: never follow a planted link.
    char path[ZT_PATH_LEN + 16];
    snprintf(path, sizeof(path), "/dev/shm/sem.%s", name[0] == '/' ? name + 1 : name);
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st {};
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
            fchmod(fd, 0777);
        close(fd);
    }
    openHolderRecord();
}

CZTMutex::~CZTMutex()
{
    // The semaphore stays open until the process ends (others may share the
    // mapping glibc keeps per name); only our own record mapping goes.
    if (m_holder)
        munmap(m_holder, kHolderRecordSize);
}

void CZTMutex::openHolderRecord()
{
    char recordName[ZT_PATH_LEN + 16];
    int n = snprintf(recordName, sizeof(recordName), "/%s.holder", name[0] == '/' ? name + 1 : name);
    if (n < 0 || n > 250) {
        ZTLog::WriteLog(ZT_LOG_STEP, "MutexLock", __LINE__, "lock name too long for a holder record: %s", name);
        return;
    }
    int fd = shm_open(recordName, O_RDWR | O_CREAT | O_CLOEXEC, 0777);
    if (fd < 0) {
        ZTLog::WriteLog(ZT_LOG_STEP, "MutexLock", __LINE__, "holder record %s: errno = %d", recordName, errno);
        return;
    }
    fchmod(fd, 0777);
    struct stat st {};
    // Only ever grown, never shrunk: another process may have it mapped.
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < static_cast<off_t>(kHolderRecordSize))
        if (ftruncate(fd, kHolderRecordSize) != 0)
            ZTLog::WriteLog(ZT_LOG_STEP, "MutexLock", __LINE__, "holder record %s: errno = %d", recordName, errno);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < static_cast<off_t>(kHolderRecordSize)) {
        ZTLog::WriteLog(ZT_LOG_STEP, "MutexLock", __LINE__, "holder record %s unusable", recordName);
        close(fd);
        return;
    }
    void* p = mmap(nullptr, kHolderRecordSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (p == MAP_FAILED)
        return;
    m_holder = static_cast<uint64_t*>(p);
}

void CZTMutex::markHeld()
{
    if (m_holder)
        __atomic_store_n(m_holder, ztHolderWordOfSelf(), __ATOMIC_RELEASE);
}

bool CZTMutex::takeOverFromDeadHolder()
{
    if (!m_holder)
        return false;
    uint64_t word = __atomic_load_n(m_holder, __ATOMIC_ACQUIRE);
    if (word == 0 || word == ztHolderWordOfSelf() || !ztHolderWordIsDead(word))
        return false;
    // Several waiters may see the same dead holder: the swap lets exactly one
    // of them inherit its token.
    uint64_t mine = ztHolderWordOfSelf();
    if (!__atomic_compare_exchange_n(m_holder, &word, mine, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
        return false;
    ZTLog::WriteLog(ZT_LOG_STEP, "MutexLock", __LINE__, "CZTMutex::Lock() %s: took over from dead process %ld", name,
                    static_cast<long>(word & kPidMask));
    return true;
}

static long elapsedMs(const timespec& since)
{
    const timespec now = monotonicNow();
    return (now.tv_sec - since.tv_sec) * 1000 + (now.tv_nsec - since.tv_nsec) / 1000000;
}

bool CZTMutex::waitWithRecovery(const timespec* deadline)
{
    timespec started = monotonicNow();
    timespec nextLog = addMs(started, kSlowWaitLogMs);
    for (;;) {
        timespec now = monotonicNow();
        timespec sliceEnd = addMs(now, kRecoverySliceMs);
        if (deadline && before(*deadline, sliceEnd))
            sliceEnd = *deadline;
        if (sem_clockwait(semaphore, CLOCK_MONOTONIC, &sliceEnd) == 0) {
            markHeld();
            return true;
        }
        int err = errno;
        if (err == EINTR)
            continue;
        if (err != ETIMEDOUT) {
            // A broken semaphore must not turn this into a busy loop.
            timespec pause = {0, static_cast<long>(kRecoverySliceMs) * 1000000L};
            nanosleep(&pause, nullptr);
        }
        if (takeOverFromDeadHolder())
            return true;
        now = monotonicNow();
        const uint64_t word = m_holder ? __atomic_load_n(m_holder, __ATOMIC_ACQUIRE) : 0;
        if (deadline && !before(now, *deadline)) {
            ZTLog::WriteLog(ZT_LOG_FAILURE, "MutexLock", __LINE__,
                            "CZTMutex::Lock() %s: gave up after %ld ms, recorded holder %ld%s", name,
                            elapsedMs(started), static_cast<long>(word & kPidMask),
                            word ? "" : " (none: a process that does not record itself holds it)");
            return false;
        }
        if (!before(now, nextLog)) {
            ZTLog::WriteLog(ZT_LOG_STEP, "MutexLock", __LINE__,
                            "CZTMutex::Lock() %s: still waiting after %ld ms, recorded holder %ld", name,
                            elapsedMs(started), static_cast<long>(word & kPidMask));
            nextLog = addMs(now, 10L * kSlowWaitLogMs);
        }
    }
}

bool CZTMutex::Lock()
{
    if (!semaphore)
        return false;
    for (int i = 0; i < 30; ++i) {
        if (sem_trywait(semaphore) == 0) {
            markHeld();
            return true;
        }
    }
    const timespec deadline = addMs(monotonicNow(), kGiveUpMs);
    return waitWithRecovery(&deadline);
}

bool CZTMutex::Lock(unsigned long count)
{
    if (!semaphore || count == 0)
        return false;
    if (sem_trywait(semaphore) == 0) {
        markHeld();
        return true;
    }
    // Instead of sleeping a second between attempts, wait on the semaphore
    // for that second: the lock is taken as soon as it is free.
    unsigned long seconds = count > 86400ul ? 86400ul : count;
    timespec deadline = addMs(monotonicNow(), static_cast<long>(seconds) * 1000);
    return waitWithRecovery(&deadline);
}

void CZTMutex::Unlock()
{
    if (!semaphore)
        return;
    if (m_holder) {
        // Clear only our own word. While we hold the semaphore nobody else
        // writes the record (a take-over needs us dead), so no swap is needed.
        if (__atomic_load_n(m_holder, __ATOMIC_RELAXED) == ztHolderWordOfSelf())
            __atomic_store_n(m_holder, 0, __ATOMIC_RELEASE);
    }
    sem_post(semaphore);
}

bool CZTMutex::firstUseSemName(const char* semNameIn)
{
    if (!semNameIn || !semNameIn[0])
        return false;
    int lastFree = -1;
    for (int i = 0; i < ZT_SEM_NAME_COUNT; ++i) {
        if (g_semNameArray[i][0] == '\0')
            lastFree = i;
        else if (strncmp(g_semNameArray[i], semNameIn, ZT_PATH_LEN) == 0)
            return false;
    }
    if (lastFree < 0)
        lastFree = 0;
    zt_strlcpy(g_semNameArray[lastFree], semNameIn, ZT_PATH_LEN);
    return true;
}

void CZTMutex::deleteSemNameFromGlobalVar(const char* semNameIn)
{
    if (!semNameIn)
        return;
    for (int i = 0; i < ZT_SEM_NAME_COUNT; ++i) {
        if (strncmp(g_semNameArray[i], semNameIn, ZT_PATH_LEN) == 0)
            memset(g_semNameArray[i], 0, ZT_PATH_LEN);
    }
}
