#include "MemCertStore.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <semaphore.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Log.h"

namespace vtoken {

namespace {

const char kMagic[8] = {'Z', 'V', 'M', 'C', 'E', 'R', 'T', '1'};
constexpr uint32_t kVersion = 1;

struct Header {
    char magic[8];
    uint32_t version;
    uint32_t size;
    uint32_t slots;
    uint32_t indices;
    uint32_t entrySize;
    int32_t holderPid;
    uint8_t reserved[32];
};
static_assert(sizeof(Header) == kMemHeaderSize, "header is 64 bytes");

Header* header(void* base)
{
    return static_cast<Header*>(base);
}

bool headerMatches(const Header* h)
{
    return memcmp(h->magic, kMagic, sizeof(kMagic)) == 0 && h->version == kVersion && h->size == kMemSegmentSize &&
           h->slots == kMemSlots && h->indices == kMemIndices && h->entrySize == kMemEntrySize;
}

bool allZero(const void* data, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i])
            return false;
    }
    return true;
}

std::atomic<int32_t>* holder(void* base)
{
    return reinterpret_cast<std::atomic<int32_t>*>(&header(base)->holderPid);
}

bool processGone(int32_t pid)
{
    return pid > 0 && kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace

Status MemCertStore::open(const std::string& segmentName, const std::string& lockName,
                          std::unique_ptr<MemCertStore>* store, std::string* error)
{
    auto fail = [&](const std::string& what) {
        if (error)
            *error = what;
        logLine("memory certificate store: " + what);
        return Status::IoError;
    };
    if (segmentName.empty() || lockName.empty() || segmentName.size() > 200 || lockName.size() > 200 ||
        segmentName.find('/') != std::string::npos || lockName.find('/') != std::string::npos)
        return fail("bad segment or lock name");

    std::string shmName = "/" + segmentName;
    int fd = shm_open(shmName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail("cannot open segment " + segmentName + ": " + strerror(errno));
    fchmod(fd, 0666);
    // Creation is serialised on the segment itself; flock ends with a dead creator.
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        close(fd);
        return fail("cannot inspect segment " + segmentName);
    }
    bool fresh = info.st_size == 0;
    if (fresh && ftruncate(fd, static_cast<off_t>(kMemSegmentSize)) != 0) {
        close(fd);
        return fail("cannot size segment " + segmentName + ": " + strerror(errno));
    }
    if (!fresh && static_cast<uint64_t>(info.st_size) != kMemSegmentSize) {
        close(fd);
        return fail("segment " + segmentName + " has " + std::to_string(info.st_size) + " bytes, expected " +
                    std::to_string(kMemSegmentSize) + ": left alone");
    }
    void* base = mmap(nullptr, kMemSegmentSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) {
        close(fd);
        return fail("cannot map segment " + segmentName);
    }
    Header* h = header(base);
    if (!headerMatches(h)) {
        if (!allZero(h, sizeof(Header))) {
            munmap(base, kMemSegmentSize);
            close(fd);
            return fail("segment " + segmentName + " has another layout: left alone");
        }
        h->version = kVersion;
        h->size = kMemSegmentSize;
        h->slots = kMemSlots;
        h->indices = kMemIndices;
        h->entrySize = kMemEntrySize;
        h->holderPid = 0;
        __atomic_thread_fence(__ATOMIC_SEQ_CST);
        memcpy(h->magic, kMagic, sizeof(kMagic));
    }
    // The mapping keeps the file open, so closing alone would not release the flock.
    flock(fd, LOCK_UN);
    close(fd);

    mode_t old = umask(0);
    sem_t* sem = sem_open(("/" + lockName).c_str(), O_CREAT, 0666, 1);
    umask(old);
    if (sem == SEM_FAILED) {
        munmap(base, kMemSegmentSize);
        return fail("cannot open lock " + lockName + ": " + strerror(errno));
    }
    std::unique_ptr<MemCertStore> result(new MemCertStore());
    result->m_base = base;
    result->m_semaphore = sem;
    *store = std::move(result);
    return Status::Ok;
}

void MemCertStore::unlinkNames(const std::string& segmentName, const std::string& lockName)
{
    shm_unlink(("/" + segmentName).c_str());
    sem_unlink(("/" + lockName).c_str());
}

MemCertStore::~MemCertStore()
{
    if (m_semaphore)
        sem_close(static_cast<sem_t*>(m_semaphore));
    if (m_base)
        munmap(m_base, kMemSegmentSize);
}

Status MemCertStore::lock()
{
    sem_t* sem = static_cast<sem_t*>(m_semaphore);
    const int stepMs = 100;
    int waitedMs = 0;
    int32_t lastHolder = -1;
    int sameHolderMs = 0;
    for (;;) {
        struct timespec until;
        clock_gettime(CLOCK_REALTIME, &until);
        until.tv_nsec += stepMs * 1000000L;
        if (until.tv_nsec >= 1000000000L) {
            until.tv_sec += 1;
            until.tv_nsec -= 1000000000L;
        }
        if (sem_timedwait(sem, &until) == 0)
            break;
        if (errno != ETIMEDOUT && errno != EINTR)
            return Status::IoError;
        waitedMs += stepMs;
        int32_t pid = holder(m_base)->load();
        sameHolderMs = pid == lastHolder ? sameHolderMs + stepMs : 0;
        lastHolder = pid;
        // A dead holder never posts: its turn passes to us. A holder that never
        // wrote its pid (died right after taking the lock) shows as 0.
        if (processGone(pid) || (pid == 0 && sameHolderMs >= 1000)) {
            if (holder(m_base)->compare_exchange_strong(pid, static_cast<int32_t>(getpid()))) {
                logLine("memory certificate store: lock holder " + std::to_string(pid) + " is gone, lock taken over");
                return Status::Ok;
            }
        }
        if (waitedMs >= m_timeoutMs)
            return Status::Busy;
    }
    holder(m_base)->store(static_cast<int32_t>(getpid()));
    return Status::Ok;
}

void MemCertStore::unlock()
{
    holder(m_base)->store(0);
    sem_post(static_cast<sem_t*>(m_semaphore));
}

uint8_t* MemCertStore::entry(int slot, int index) const
{
    size_t position = static_cast<size_t>(slot) * kMemIndices + static_cast<size_t>(index - 1);
    return static_cast<uint8_t*>(m_base) + kMemHeaderSize + position * kMemEntrySize;
}

namespace {

bool validPlace(int slot, int index)
{
    return slot >= 0 && slot < kMemSlots && index >= 1 && index <= kMemIndices;
}

uint32_t readLength(const uint8_t* e)
{
    uint32_t length;
    memcpy(&length, e, sizeof(length));
    return length;
}

void writeLength(uint8_t* e, uint32_t length)
{
    __atomic_thread_fence(__ATOMIC_SEQ_CST);
    memcpy(e, &length, sizeof(length));
    __atomic_thread_fence(__ATOMIC_SEQ_CST);
}

}  // namespace

Status MemCertStore::put(int slot, int index, const uint8_t* der, size_t length)
{
    if (!validPlace(slot, index) || !der || length == 0 || length > kMemEntrySize - 8)
        return Status::BadArgument;
    Status status = lock();
    if (status != Status::Ok)
        return status;
    uint8_t* e = entry(slot, index);
    writeLength(e, 0);
    memcpy(e + 8, der, length);
    writeLength(e, static_cast<uint32_t>(length));
    unlock();
    return Status::Ok;
}

Status MemCertStore::get(int slot, int index, std::vector<uint8_t>* der)
{
    if (!validPlace(slot, index) || !der)
        return Status::BadArgument;
    Status status = lock();
    if (status != Status::Ok)
        return status;
    const uint8_t* e = entry(slot, index);
    uint32_t length = readLength(e);
    // A length beyond the entry can only come from a foreign writer: treat as empty.
    if (length == 0 || length > kMemEntrySize - 8)
        status = Status::NoCert;
    else
        der->assign(e + 8, e + 8 + length);
    unlock();
    return status;
}

Status MemCertStore::remove(int slot, int index)
{
    if (!validPlace(slot, index))
        return Status::BadArgument;
    Status status = lock();
    if (status != Status::Ok)
        return status;
    writeLength(entry(slot, index), 0);
    unlock();
    return Status::Ok;
}

Status MemCertStore::clearSlot(int slot)
{
    if (slot < 0 || slot >= kMemSlots)
        return Status::BadArgument;
    Status status = lock();
    if (status != Status::Ok)
        return status;
    for (int index = 1; index <= kMemIndices; ++index) {
        uint8_t* e = entry(slot, index);
        writeLength(e, 0);
        memset(e + 8, 0, kMemEntrySize - 8);
    }
    unlock();
    return Status::Ok;
}

}  // namespace vtoken
