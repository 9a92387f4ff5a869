#include "Pkcs11SlotManager.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

#include "MutexLock.h"
#include "common/PlatformApi.h"
#include "Pkcs11Mutex.h"
#include "common/ZTLog.h"

int g_MgrProcIndex = 0;

namespace {

const char kSlotDescription[] = "The Cryptographic Device";
const char kSlotManufacturer[] = "Zenvit Co.,Ltd.";
const char kLibManufacturer[] = "ZT";
const char kLibDescription[] = "Zenvit PKCS11 LIBRARY";
const size_t kSerialOffset = offsetof(TokenInfo64, serialNumber);
const size_t kTokenFlagsOffset = offsetof(TokenInfo64, flags);

ZTSlotRegistry* registry()
{
    return static_cast<ZTSlotRegistry*>(__atomic_load_n(&g_pSharedMemory, __ATOMIC_ACQUIRE));
}

bool validSlot(int slot)
{
    return slot >= 0 && slot < ZT_SLOT_COUNT;
}

// Takes the registry lock for one operation and releases it on every path.
class RegistryLock
{
public:
    RegistryLock() : code(WinProcLock()) {}
    ~RegistryLock()
    {
        if (code == 0)
            WinProcUnLock();
    }
    RegistryLock(const RegistryLock&) = delete;
    RegistryLock& operator=(const RegistryLock&) = delete;
    const DWORD code;
};

// The attached registry under its lock, for one operation: code is non-zero
// when there is no registry (ZT_ERR_NO_MEMORY) or the lock failed.
class LockedRegistry
{
public:
    LockedRegistry() : reg(registry()), code(reg ? WinProcLock() : ZT_ERR_NO_MEMORY) {}
    ~LockedRegistry()
    {
        if (reg && code == 0)
            WinProcUnLock();
    }
    LockedRegistry(const LockedRegistry&) = delete;
    LockedRegistry& operator=(const LockedRegistry&) = delete;
    ZTSlotRegistry* const reg;
    const DWORD code;
};

void blankText(char* field, size_t size, const char* text)
{
    memset(field, ' ', size);
    memcpy(field, text, strlen(text) + 1);
}

// A device name of at most 255 bytes with its terminator; longer names are
// cut so the field always holds a terminated name.
void storeDeviceName(ZTSlotRecord& rec, const char* deviceName)
{
    size_t n = strnlen(deviceName, ZT_DEVNAME_FIELD - 1);
    memcpy(rec.deviceName, deviceName, n);
    rec.deviceName[n] = '\0';
}

// The field may have been written by another process: never trust a terminator.
void copyDeviceName(const ZTSlotRecord& rec, char* out)
{
    size_t n = strnlen(rec.deviceName, ZT_DEVNAME_FIELD - 1);
    memcpy(out, rec.deviceName, n);
    out[n] = '\0';
}

void blankReservedAreas(ZTSlotRecord& rec)
{
    memset(rec.reservedArea1, ' ', sizeof(rec.reservedArea1));
    memset(rec.reservedArea2, ' ', sizeof(rec.reservedArea2));
    memset(rec.reservedArea3, ' ', sizeof(rec.reservedArea3));
}

void clearSlotsLocked(ZTSlotRegistry* reg)
{
    ZTLog::WriteLog(ZT_LOG_STEP, "Pkcs11SlotManager", __LINE__, "enter SlotManagerClearSlotInfo().");
    for (int n = 0; n < ZT_SLOT_COUNT; ++n) {
        ZTSlotRecord& rec = reg->slotRecords[n];
        rec.slotId = static_cast<uint64_t>(n);
        rec.present = 0;
        memset(rec.deviceName, ' ', sizeof(rec.deviceName));
        rec.deviceHandle = 0;
        blankText(rec.slotDescription, sizeof(rec.slotDescription), kSlotDescription);
        blankText(rec.manufacturerID, sizeof(rec.manufacturerID), kSlotManufacturer);
        rec.hardwareMajor = rec.hardwareMinor = 0;
        rec.firmwareMajor = rec.firmwareMinor = 0;
        rec.flags = ZT_SLOT_FLAGS_EMPTY;
        ZTLog::WriteLog(ZT_LOG_STEP, "Pkcs11SlotManager", __LINE__, "SlotManagerClearSlotInfo() set slot = %d, flags = %d",
                        n, ZT_SLOT_FLAGS_EMPTY);
        blankReservedAreas(rec);
    }
    ZTLog::WriteLog(ZT_LOG_STEP, "Pkcs11SlotManager", __LINE__, "leave SlotManagerClearSlotInfo().\n");
}

DWORD fillRegistry()
{
    LockedRegistry locked;
    if (locked.code)
        return locked.code;
    ZTSlotRegistry* reg = locked.reg;
    ZTLibraryInfo64& info = reg->info;
    info.cryptokiMajor = 2;
    info.cryptokiMinor = 20;
    memset(info.manufacturerID, ' ', sizeof(info.manufacturerID));
    memcpy(info.manufacturerID, kLibManufacturer, strlen(kLibManufacturer));
    memset(info.pad0, 0, sizeof(info.pad0));
    info.flags = 0;
    memset(info.libraryDescription, ' ', sizeof(info.libraryDescription));
    memcpy(info.libraryDescription, kLibDescription, strlen(kLibDescription));
    info.libraryMajor = 1;
    info.libraryMinor = 1;
    memset(info.pad1, 0, sizeof(info.pad1));
    reg->slotCount = 0;
    clearSlotsLocked(reg);
    // The segment is new, but visible since it was created: a consumer that
    // registered in between (a manager started with the daemon) keeps its
    // entry, or it would never hear of a key. Nothing was marked yet, so the
    // 0 it found there is no change: read as one, it is slot 0 "removed".
    for (ZTProcEntry& proc : reg->procs) {
        if (proc.inUse != 1)
            proc.inUse = 0;
        proc.slotmap = -1;
    }
    return 0;
}

// Header texts written over what was there, each with its 0 byte.
void writeSlotTexts(ZTSlotRecord& rec)
{
    memcpy(rec.slotDescription, kSlotDescription, sizeof(kSlotDescription));
    memcpy(rec.manufacturerID, kSlotManufacturer, sizeof(kSlotManufacturer));
}

int32_t loadSlotmap(const ZTProcEntry& proc)
{
    return __atomic_load_n(&proc.slotmap, __ATOMIC_ACQUIRE);
}

bool ownsEntry(const ZTSlotRegistry* reg, int index)
{
    if (index < 0 || index >= ZT_PROC_COUNT)
        return false;
    const ZTProcEntry& proc = reg->procs[index];
    return proc.inUse == 1 && proc.pid == static_cast<int64_t>(getpid());
}

}  // namespace

DWORD SlotManagerInitialize()
{
    DestroySharedMemory();
    DWORD rv = CreateSharedMemory();
    if (rv == 0)
        rv = AttachToSharedMemeory();
    if (rv == 0)
        rv = CreateWinProcLock();
    if (rv != 0) {
        DetachFromSharedMemory();
        return rv;
    }
    return fillRegistry();
}

DWORD SlotManagerFinalize()
{
    {
        RegistryLock lock;
        DetachFromSharedMemory();
    }
    DestroyWinProcLock();
    return 0;
}

namespace {

// The fields a publication and a removal both write: id, name, the handle's
// low 32 bits, token information and versions 1.0.
void writeKeyFields(ZTSlotRecord& rec, int slot, const char* deviceName, const unsigned char* tokenInfo,
                    void* handle)
{
    rec.slotId = static_cast<uint64_t>(slot);
    storeDeviceName(rec, deviceName);
    rec.deviceHandle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
    memcpy(rec.tokenInfo, tokenInfo, sizeof(rec.tokenInfo));
    rec.hardwareMajor = 1;
    rec.hardwareMinor = 0;
    rec.firmwareMajor = 1;
    rec.firmwareMinor = 0;
}

}  // namespace

DWORD SlotManagerAddSlotInfo(int slot, const char* deviceName, const unsigned char* tokenInfo, void* handle,
                             const unsigned char* label)
{
    if (!validSlot(slot) || !deviceName || !tokenInfo || !label)
        return ZT_ERR_INVALID_ARG;
    LockedRegistry locked;
    if (locked.code)
        return locked.code;
    ZTSlotRegistry* reg = locked.reg;
    ZTSlotRecord& rec = reg->slotRecords[slot];
    writeKeyFields(rec, slot, deviceName, tokenInfo, handle);
    rec.present = 1;
    memcpy(rec.label, label, sizeof(rec.label));
    writeSlotTexts(rec);
    rec.flags = ZT_SLOT_FLAGS_PRESENT;
    // Grows even when the slot was already present (the PKCS#11 library
    // reads it so); it stops at 255 instead of wrapping to 0.
    if (reg->slotCount < 255)
        reg->slotCount++;
    return 0;
}

DWORD SlotManagerRemoveSlotInfo(int slot, const char* deviceName, const unsigned char* tokenInfo, void* handle)
{
    if (!validSlot(slot) || !deviceName || !tokenInfo)
        return ZT_ERR_INVALID_ARG;
    LockedRegistry locked;
    if (locked.code)
        return locked.code;
    ZTSlotRegistry* reg = locked.reg;
    ZTSlotRecord& rec = reg->slotRecords[slot];
    writeKeyFields(rec, slot, deviceName, tokenInfo, handle);
    rec.present = 0;
    memset(rec.slotDescription, 0, sizeof(rec.slotDescription));
    memset(rec.manufacturerID, 0, sizeof(rec.manufacturerID));
    writeSlotTexts(rec);
    rec.flags = ZT_SLOT_FLAGS_EMPTY;
    blankReservedAreas(rec);
    // No wrap from 0 to 255 keys.
    if (reg->slotCount > 0)
        reg->slotCount--;
    return 0;
}

DWORD SlotManagerClearSlotInfo()
{
    LockedRegistry locked;
    if (locked.code)
        return locked.code;
    ZTSlotRegistry* reg = locked.reg;
    clearSlotsLocked(reg);
    return 0;
}

DWORD SlotManagerChangeDeviceLabel(int slot, const unsigned char* label, int)
{
    if (!validSlot(slot) || !label)
        return ZT_ERR_INVALID_ARG;
    LockedRegistry locked;
    if (locked.code)
        return locked.code;
    ZTSlotRegistry* reg = locked.reg;
    ZTSlotRecord& rec = reg->slotRecords[slot];
    if (rec.present != 1)
        return 0;
    memcpy(rec.label, label, sizeof(rec.label));
    for (ZTProcEntry& proc : reg->procs) {
        if (proc.inUse != 1) {
            proc.slotmap = -1;
            continue;
        }
        if (proc.slotmap != -1)
            continue;
        __atomic_store_n(&proc.slotmap, slot, __ATOMIC_RELEASE);
        rec.flags = ZT_SLOT_FLAGS_PRESENT;
        break;
    }
    return 0;
}

DWORD SlotManagerGetSlotName(int slot, char* deviceName)
{
    if (!validSlot(slot) || !deviceName)
        return ZT_ERR_INVALID_ARG;
    LockedRegistry locked;
    if (locked.code)
        return locked.code;
    ZTSlotRegistry* reg = locked.reg;
    const ZTSlotRecord& rec = reg->slotRecords[slot];
    if (rec.present != 1)
        return ZT_ERR_SLOT_EMPTY;
    copyDeviceName(rec, deviceName);
    return 0;
}

DWORD SlotManagerGetSlotByName(int* slot, const char* deviceName, int count)
{
    if (!slot || !deviceName)
        return ZT_ERR_INVALID_ARG;
    ZTSlotRegistry* reg = registry();
    if (!reg)
        return ZT_ERR_NO_MEMORY;
    if (count > ZT_SLOT_COUNT)
        count = ZT_SLOT_COUNT;
    // A name longer than the field can match nothing stored in it.
    size_t n = strnlen(deviceName, ZT_DEVNAME_FIELD + 1);
    if (n > ZT_DEVNAME_FIELD)
        return 0;
    RegistryLock lock;
    if (lock.code)
        return lock.code;
    for (int i = 0; i < count; ++i) {
        const ZTSlotRecord& rec = reg->slotRecords[i];
        if (rec.present == 1 && memcmp(rec.deviceName, deviceName, n) == 0) {
            *slot = i;
            break;
        }
    }
    return 0;
}

DWORD SlotManagerGetSlotInfoBySlotNo(int slot, void** handle, char* deviceName, unsigned char* label,
                                     unsigned char* serial, unsigned long* tokenFlags)
{
    if (!validSlot(slot))
        return ZT_ERR_INVALID_ARG;
    LockedRegistry locked;
    if (locked.code)
        return locked.code;
    ZTSlotRegistry* reg = locked.reg;
    const ZTSlotRecord& rec = reg->slotRecords[slot];
    if (rec.present != 1)
        return ZT_ERR_SLOT_EMPTY;
    if (handle)
        *handle = reinterpret_cast<void*>(static_cast<uintptr_t>(rec.deviceHandle));
    if (deviceName)
        copyDeviceName(rec, deviceName);
    if (label) {
        // Trailing blanks go in pairs, so a UTF-16 unit is never cut in half.
        size_t blanks = 0;
        const uint64_t eightBlanks = 0x2020202020202020ull;
        for (uint64_t word = 0; blanks + 8 <= ZT_LABEL_LEN; blanks += 8) {
            memcpy(&word, rec.label + ZT_LABEL_LEN - 8 - blanks, 8);
            if (word != eightBlanks)
                break;
        }
        while (blanks < ZT_LABEL_LEN && rec.label[ZT_LABEL_LEN - 1 - blanks] == ' ')
            ++blanks;
        memcpy(label, rec.label, ZT_LABEL_LEN - (blanks & ~size_t(1)));
    }
    if (serial)
        memcpy(serial, rec.tokenInfo + kSerialOffset, ZT_SERIAL_LEN);
    if (tokenFlags) {
        uint64_t flags = 0;
        memcpy(&flags, rec.tokenInfo + kTokenFlagsOffset, sizeof(flags));
        *tokenFlags = static_cast<unsigned long>(flags);
    }
    return 0;
}

DWORD SlotManagerSetSlotChanged(int kind, int slot)
{
    if (!validSlot(slot) || (kind != ZT_KEY_EVENT_ADDED && kind != ZT_KEY_EVENT_REMOVED))
        return ZT_ERR_INVALID_ARG;
    LockedRegistry locked;
    if (locked.code)
        return locked.code;
    ZTSlotRegistry* reg = locked.reg;
    ZTSlotRecord& rec = reg->slotRecords[slot];
    const uint64_t flags = kind == ZT_KEY_EVENT_ADDED ? ZT_SLOT_FLAGS_PRESENT : ZT_SLOT_FLAGS_EMPTY;
    const uint8_t present = kind == ZT_KEY_EVENT_ADDED ? 1 : 0;
    // The slot reads as it is to a PKCS#11 reader that looks at the flags,
    // also when nobody is free to be told: a key pulled and another plugged
    // into the same slot in one pass ends present, a key gone ends empty.
    rec.present = present;
    rec.flags = flags;
    for (int i = 0; i < ZT_PROC_COUNT; ++i) {
        ZTProcEntry& proc = reg->procs[i];
        if (proc.inUse != 1) {
            proc.slotmap = -1;
            continue;
        }
        // A process with a change still pending does not get this one.
        if (proc.slotmap != -1)
            continue;
        __atomic_store_n(&proc.slotmap, slot, __ATOMIC_RELEASE);
        ZTLog::WriteLog(ZT_LOG_STEP, "Pkcs11SlotManager", __LINE__,
                        "SlotManagerSetSlotChanged()->while(11111111111111111111111) set proc = %d, slot = %d, "
                        "flags = %d present = %d",
                        i, slot, static_cast<int>(flags), present);
        Sleep(1);
    }
    return 0;
}

DWORD SlotManagerGetSlotChanged(int* kind, int* slot, ZTStopRequested stopRequested)
{
    if (!kind || !slot)
        return ZT_ERR_INVALID_ARG;
    ZTSlotRegistry* reg = registry();
    if (!reg)
        return ZT_ERR_NO_MEMORY;
    const int index = g_MgrProcIndex;
    bool registered = false;
    {
        RegistryLock lock;
        if (lock.code)
            return lock.code;
        registered = ownsEntry(reg, index);
    }
    if (!registered) {
        // Never collect another process's change. The pause keeps a caller
        // that loops on this from spinning.
        Sleep(1000);
        return ZT_ERR_INVALID_ARG;
    }
    ZTProcEntry& proc = reg->procs[index];
    // The wait looks without the lock, once a second, as the PKCS#11
    // library's slot-event wait does.
    const bool waited = loadSlotmap(proc) == -1;
    if (waited) {
        int32_t seen = -1;
        while ((seen = loadSlotmap(proc)) == -1 && !(stopRequested && stopRequested()))
            Sleep(1000);
        ZTLog::WriteLog(ZT_LOG_STEP, "Pkcs11SoltManager", __LINE__, "%s:  after while:procp->slotmap is %08x\n",
                        "C_WaitForSlotEvent", static_cast<unsigned>(seen));
    }
    RegistryLock lock;
    if (lock.code)
        return lock.code;
    const int32_t pending = proc.slotmap;
    if (waited)
        ZTLog::WriteLog(ZT_LOG_STEP, "Pkcs11SoltManager", __LINE__,
                        "SlotManagerGetSlotChanged g_MgrProcIndex = %d, procp->slotmap = %d \n", index, pending);
    __atomic_store_n(&proc.slotmap, -1, __ATOMIC_RELEASE);
    int collected = pending & 0xFF;
    int collectedKind = 0;  // nothing pending (stopped), or a value that is no slot
    if (validSlot(collected))
        collectedKind = (reg->slotRecords[collected].flags & 1) ? ZT_KEY_EVENT_ADDED : ZT_KEY_EVENT_REMOVED;
    else
        collected = 255;
    *kind = collectedKind;
    *slot = collected;
    ZTLog::WriteLog(ZT_LOG_STEP, "Pkcs11SoltManager", __LINE__, "%s opt:%d slotID:%d",
                    "------------------------------------------------", collectedKind, collected);
    return 0;
}

BOOL16 SlotManagerRegisterProcess()
{
    LockedRegistry locked;
    if (locked.code)
        return FALSE;
    ZTSlotRegistry* reg = locked.reg;
    const int64_t self = static_cast<int64_t>(getpid());
    int reuse = -1;
    int freeIndex = -1;
    for (int i = 0; i < ZT_PROC_COUNT; ++i) {
        const ZTProcEntry& proc = reg->procs[i];
        if (proc.inUse == 1 && proc.pid == self && reuse < 0)
            reuse = i;
        if (proc.inUse != 1 && freeIndex < 0) {
            freeIndex = i;
            printf("[GenAPI_RegisterProcess]  free is %ld\n", static_cast<long>(i));
        }
    }
    int chosen = -1;
    if (reuse >= 0) {
        chosen = reuse;
        printf("[GenAPI_RegisterProcess] reuse indx is %d\n", chosen);
    } else if (freeIndex >= 0) {
        chosen = freeIndex;
        printf("[GenAPI_RegisterProcess] free indx is %d\n", chosen);
    } else {
        // A full table: entries of processes that ended without unregistering
        // (crashed managers) are taken back; a live process keeps its entry.
        for (int i = 0; i < ZT_PROC_COUNT && chosen < 0; ++i) {
            if (ztProcessIsDead(reg->procs[i].pid))
                chosen = i;
        }
        if (chosen < 0) {
            fflush(stdout);
            return FALSE;
        }
        ZTLog::WriteLog(ZT_LOG_STEP, "Pkcs11SlotManager", __LINE__,
                        "SlotManagerRegisterProcess() reclaims entry %d of ended process %lld", chosen,
                        static_cast<long long>(reg->procs[chosen].pid));
    }
    fflush(stdout);
    ZTProcEntry& proc = reg->procs[chosen];
    proc.inUse = 1;
    proc.pid = self;
    proc.registeredAt = static_cast<int64_t>(time(nullptr));
    // A new entry has nothing pending: neither a dead process's change nor
    // the 0 of a segment the daemon has not filled yet.
    if (reuse < 0)
        __atomic_store_n(&proc.slotmap, -1, __ATOMIC_RELEASE);
    g_MgrProcIndex = chosen;
    return TRUE;
}

void SlotManagerUnRegisterProcess()
{
    ZTSlotRegistry* reg = registry();
    const int index = g_MgrProcIndex;
    g_MgrProcIndex = 0;
    if (!reg)
        return;
    RegistryLock lock;
    if (lock.code)
        return;
    // Only our own entry: after a failed registration the index still points
    // at entry 0, which belongs to someone else.
    if (!ownsEntry(reg, index))
        return;
    ZTProcEntry& proc = reg->procs[index];
    memset(&proc, 0, sizeof(proc));
    __atomic_store_n(&proc.slotmap, -1, __ATOMIC_RELEASE);
}

DWORD SlotManagerRejoinRegistry(BOOL16* rejoined)
{
    if (!rejoined)
        return ZT_ERR_INVALID_ARG;
    *rejoined = FALSE;
    ZTSlotRegistry* old = registry();
    if (!old)
        return ZT_ERR_NO_MEMORY;
    if (SharedMemoryReplaced()) {
        const int oldIndex = g_MgrProcIndex;
        DWORD rv = ReattachToSharedMemory();
        if (rv != 0)
            return rv;
        ZTLog::WriteLog(ZT_LOG_STEP, "Pkcs11SlotManager", __LINE__,
                        "SlotManagerRejoinRegistry() follows the registry of a restarted daemon");
        // A change wait of ours on the old segment would never hear from the
        // new daemon; a pending value that is no slot ends it with nothing
        // collected. Only our own entry is touched.
        if (ownsEntry(old, oldIndex))
            __atomic_store_n(&old->procs[oldIndex].slotmap, 255, __ATOMIC_RELEASE);
    }
    // Also catches a registration made before the new daemon had filled its
    // registry, which the filling wiped. Read without the lock: this runs
    // every second, only this process and a filling daemon write the entry,
    // and a stale answer is corrected on the next round.
    if (ownsEntry(registry(), g_MgrProcIndex))
        return 0;
    if (!SlotManagerRegisterProcess())
        return ZT_ERR_UNEXPECTED;
    *rejoined = TRUE;
    return 0;
}
