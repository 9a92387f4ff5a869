#pragma once
// The slot registry's lock as process-wide calls.
#include "MutexLock.h"
#include "common/ZTCommonDef.h"

extern CZTMutex* g_pSharedMemoryLock;

// 0, the name builder's code, or 0x10000007 when the semaphore cannot be opened.
DWORD CreateWinProcLock();
// 0 with the lock held; 0x10000007 when there is no lock to take.
DWORD WinProcLock();
DWORD WinProcUnLock();
void DestroyWinProcLock();
