#include "Pkcs11Mutex.h"

#include <new>

#include "common/ShareNames.h"
#include "common/ZTLog.h"

CZTMutex* g_pSharedMemoryLock = nullptr;

DWORD CreateWinProcLock()
{
    char name[ZT_PATH_LEN] = {0};
    DWORD rv = GetP11ShmLockName(name);
    if (rv != 0)
        return rv;
    if (g_pSharedMemoryLock)
        return 0;
    CZTMutex* lock = new (std::nothrow) CZTMutex(name);
    if (!lock)
        return ZT_ERR_INVALID_ARG;
    // A registry without its lock would be corrupted by the first two writers
    // that meet: refuse it rather than run unlocked.
    if (!lock->isOpen()) {
        ZTLog::WriteLog(ZT_LOG_STEP, "Pkcs11Mutex", __LINE__, "CreateWinProcLock() cannot open %s", name);
        delete lock;
        return ZT_ERR_INVALID_ARG;
    }
    g_pSharedMemoryLock = lock;
    return 0;
}

DWORD WinProcLock()
{
    if (!g_pSharedMemoryLock || !g_pSharedMemoryLock->Lock())
        return ZT_ERR_INVALID_ARG;
    return 0;
}

DWORD WinProcUnLock()
{
    if (!g_pSharedMemoryLock)
        return ZT_ERR_INVALID_ARG;
    g_pSharedMemoryLock->Unlock();
    return 0;
}

void DestroyWinProcLock()
{
    delete g_pSharedMemoryLock;
    g_pSharedMemoryLock = nullptr;
}
