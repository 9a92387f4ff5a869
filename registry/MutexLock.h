#pragma once
// CZTMutex: the registry's named lock, a POSIX named semaphore shared with the
// maker's PKCS#11 library, which takes it by name with sem_trywait/sem_post.
//
// Recovery of a lock whose holder died (see MutexLock.cpp for the details):
// every process of ours that takes the semaphore records itself (pid and
// process start time, one 64-bit word) in a small side object of its own,
// "/<lock name>.holder" in /dev/shm, and clears the record before posting.
// A waiter that finds the semaphore taken for one wait slice looks at the
// record; when it names a process that provably no longer exists, the waiter
// swaps its own word in with a compare-and-swap and inherits the dead holder's
// token. Only one waiter can win that swap, and a live holder is never
// replaced, so two live processes are never inside the lock at once.
// Like the semaphore, the side object is never removed by the programs.
#include <cstdint>
#include <semaphore.h>

#include "common/ZTCommonDef.h"

#define ZT_SEM_NAME_COUNT 20

// Names of the semaphores this process has already created (empty = free).
extern char g_semNameArray[ZT_SEM_NAME_COUNT][ZT_PATH_LEN];

class CZTMutex
{
public:
    explicit CZTMutex(const char* name);
    ~CZTMutex();
    CZTMutex(const CZTMutex&) = delete;
    CZTMutex& operator=(const CZTMutex&) = delete;

    // Waits at most kGiveUpMs; false when there is no semaphore or the lock
    // stayed taken that long (logged, with the recorded holder if any).
    bool Lock();
    // Waits at most count seconds (count 0: no attempt); true when the lock is held.
    bool Lock(unsigned long count);
    void Unlock();

    bool firstUseSemName(const char* name);
    void deleteSemNameFromGlobalVar(const char* name);

    bool isOpen() const { return semaphore != nullptr; }

    // How long a waiter blocks on the semaphore between two looks at the
    // holder record; a dead holder's lock is taken over within about this long.
    static const unsigned kRecoverySliceMs = 20;
    // Registry operations hold the lock for microseconds. A holder that keeps
    // it for seconds is stuck, or is a process that never records itself
    // (which cannot be proven dead): callers get an error instead of a hang.
    static const unsigned kGiveUpMs = 5000;
    // When a wait is worth a line in the log.
    static const unsigned kSlowWaitLogMs = 1000;

private:
    bool waitWithRecovery(const struct timespec* deadline);
    bool takeOverFromDeadHolder();
    void markHeld();
    void openHolderRecord();

    // Member order as the maker's code lays the object out.
    sem_t* semaphore;
    int named;
    char name[ZT_PATH_LEN];

    // Mapped holder word in the side object; null when it could not be made.
    uint64_t* m_holder;
};

// Identity of this process in the holder record: its start time (clock ticks
// since boot) << 22 | pid. Pids stay below 2^22 (the kernel's pid_max limit).
uint64_t ztHolderWordOfSelf();
// True when the process of a holder word provably no longer exists: no such
// pid, a zombie, or the pid now belongs to a process with another start time.
bool ztHolderWordIsDead(uint64_t word);
// True when no process with this pid exists or it is a zombie.
bool ztProcessIsDead(int64_t pid);
