#include "Pkcs11SharedMemory.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "common/ShareNames.h"
#include "common/ZTLog.h"

int g_handleShm = 0;
void* g_pSharedMemory = nullptr;

namespace {

// The mappings given up by reattaches. A change wait holds its pointer for
// seconds, across more than one daemon restart, so they are unmapped only
// at detach: one segment per restart of the daemon.
std::vector<void*> g_retiredMappings;
// The name the open segment was found under. A restart is followed under
// this name only: a CSPName changed since then also names another lock.
char g_openedName[ZT_PATH_LEN] = {0};

void rememberName(const char* name)
{
    snprintf(g_openedName, sizeof(g_openedName), "%s", name);
}

// Descriptor 0 means "none" to every caller, so a segment opened while stdin
// is closed is moved to a higher descriptor instead of being lost.
int avoidDescriptorZero(int fd)
{
    if (fd != 0)
        return fd;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
    close(fd);
    return moved;
}

void closeHandle()
{
    if (g_handleShm > 0)
        close(g_handleShm);
    g_handleShm = 0;
}

// Mapping a shorter object would fault (SIGBUS) on the first access past its
// end; a longer one was not made by us. Either way it is not ours.
DWORD mapSegment(int fd, void** mapping)
{
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != ZT_P11_SHM_SIZE) {
        ZTLog::WriteLog(ZT_LOG_STEP, "Pkcs11SharedMemory", __LINE__,
                        "AttachToSharedMemeory() refuses a segment of %ld bytes (expected %d)",
                        static_cast<long>(st.st_size), ZT_P11_SHM_SIZE);
        return ZT_ERR_NO_MEMORY;
    }
    void* p = mmap(nullptr, ZT_P11_SHM_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED)
        return ZT_ERR_NO_MEMORY;
    *mapping = p;
    return 0;
}

void unmapRetired()
{
    for (void* mapping : g_retiredMappings)
        munmap(mapping, ZT_P11_SHM_SIZE);
    g_retiredMappings.clear();
}

}  // namespace

DWORD CreateSharedMemory()
{
    char name[ZT_PATH_LEN] = {0};
    DWORD rv = GetP11ShmName(name);
    if (rv != 0)
        return rv;
    closeHandle();
    shm_unlink(name);
    int fd = avoidDescriptorZero(shm_open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0777));
    if (fd <= 0) {
        ZTLog::WriteLog(ZT_LOG_STEP, "Pkcs11SharedMemory", __LINE__, "shm_open(%s) failed, errno = %d", name, errno);
        return ZT_ERR_NO_MEMORY;
    }
    fchmod(fd, 0777);
    if (ftruncate(fd, ZT_P11_SHM_SIZE) != 0) {
        // A segment of the wrong size would only be refused by everyone later.
        close(fd);
        shm_unlink(name);
        return ZT_ERR_NO_MEMORY;
    }
    g_handleShm = fd;
    rememberName(name);
    return 0;
}

DWORD OpenSharedMemory()
{
    char name[ZT_PATH_LEN] = {0};
    DWORD rv = GetP11ShmName(name);
    if (rv != 0)
        return rv;
    closeHandle();
    int fd = avoidDescriptorZero(shm_open(name, O_RDWR | O_CLOEXEC, 0777));
    if (fd <= 0)
        return 1;
    g_handleShm = fd;
    rememberName(name);
    return 0;
}

DWORD AttachToSharedMemeory()
{
    if (g_handleShm == 0)
        return ZT_ERR_INVALID_ARG;
    void* p = nullptr;
    DWORD rv = mapSegment(g_handleShm, &p);
    if (rv != 0)
        return rv;
    DetachFromSharedMemory();
    __atomic_store_n(&g_pSharedMemory, p, __ATOMIC_RELEASE);
    return 0;
}

void DetachFromSharedMemory()
{
    unmapRetired();
    void* p = __atomic_exchange_n(&g_pSharedMemory, nullptr, __ATOMIC_ACQ_REL);
    if (p)
        munmap(p, ZT_P11_SHM_SIZE);
}

bool SharedMemoryReplaced()
{
    if (g_handleShm <= 0 || !g_openedName[0])
        return false;
    int fd = shm_open(g_openedName, O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return false;
    struct stat now {}, ours {};
    const bool replaced = fstat(fd, &now) == 0 && fstat(g_handleShm, &ours) == 0 &&
                          (now.st_ino != ours.st_ino || now.st_dev != ours.st_dev);
    close(fd);
    return replaced;
}

DWORD ReattachToSharedMemory()
{
    if (g_handleShm <= 0 || !g_openedName[0])
        return ZT_ERR_INVALID_ARG;
    int fd = avoidDescriptorZero(shm_open(g_openedName, O_RDWR | O_CLOEXEC, 0777));
    if (fd <= 0)
        return 1;
    void* p = nullptr;
    DWORD rv = mapSegment(fd, &p);
    if (rv != 0) {
        close(fd);
        return rv;
    }
    if (void* old = __atomic_exchange_n(&g_pSharedMemory, p, __ATOMIC_ACQ_REL))
        g_retiredMappings.push_back(old);
    closeHandle();
    g_handleShm = fd;
    return 0;
}

void DestroySharedMemory()
{
    char name[ZT_PATH_LEN] = {0};
    if (GetP11ShmName(name) == 0)
        shm_unlink(name);
    // The mapping (if any) stays valid without its descriptor.
    closeHandle();
}

int CreateSharedMemory_Nix(int* descriptor, size_t size, const char* name)
{
    if (!descriptor || !name)
        return 1;
    shm_unlink(name);
    int fd = avoidDescriptorZero(shm_open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0777));
    if (fd <= 0)
        return 1;
    fchmod(fd, 0777);
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        shm_unlink(name);
        return 2;
    }
    *descriptor = fd;
    return 0;
}

int OpenSharedMemory_Nix(int* descriptor, const char* name)
{
    if (!descriptor || !name)
        return 1;
    int fd = avoidDescriptorZero(shm_open(name, O_RDWR | O_CLOEXEC, 0777));
    if (fd <= 0)
        return 1;
    *descriptor = fd;
    return 0;
}

int DestroySharedMemory_Nix(const char* name)
{
    if (!name)
        return -1;
    return shm_unlink(name);
}
