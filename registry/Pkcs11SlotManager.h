#pragma once
// Slot registry: the table of plugged keys in shared memory, written by the
// daemon and read by the manager and the maker's PKCS#11 library. The byte
// layout below is shared with that library and holds byte for byte.
#include <cstddef>
#include <cstdint>

#include "Pkcs11SharedMemory.h"
#include "common/KeyEvent.h"
#include "common/ZTCommonDef.h"

#define ZT_SLOT_COUNT 4
#define ZT_PROC_COUNT 100
#define ZT_DEVNAME_FIELD 256     // device name field, 0-terminated, <= 255 chars
#define ZT_LABEL_LEN 64          // UTF-16 label bytes
#define ZT_SERIAL_LEN 16
#define ZT_RESERVED_AREA_LEN 4097

// Change kinds reported to consumers: ZT_KEY_EVENT_ADDED, ZT_KEY_EVENT_REMOVED.

// Slot flags: token present | removable device.
#define ZT_SLOT_FLAGS_PRESENT 3
#define ZT_SLOT_FLAGS_EMPTY 2

struct ZTLibraryInfo64 {
    uint8_t cryptokiMajor;
    uint8_t cryptokiMinor;
    char manufacturerID[32];
    uint8_t pad0[6];
    uint64_t flags;
    char libraryDescription[32];
    uint8_t libraryMajor;
    uint8_t libraryMinor;
    uint8_t pad1[6];
};

struct ZTSlotRecord {
    uint64_t slotId;
    char deviceName[ZT_DEVNAME_FIELD];
    uint32_t deviceHandle;
    uint8_t present;
    uint8_t reserved0[3];
    char slotDescription[64];
    char manufacturerID[32];
    uint64_t flags;
    uint8_t hardwareMajor;
    uint8_t hardwareMinor;
    uint8_t firmwareMajor;
    uint8_t firmwareMinor;
    uint8_t pad0[4];
    uint8_t tokenInfo[sizeof(TokenInfo64)];
    uint8_t reservedArea1[ZT_RESERVED_AREA_LEN];
    uint8_t reservedArea2[ZT_RESERVED_AREA_LEN];
    uint8_t reservedArea3[ZT_RESERVED_AREA_LEN];
    uint8_t reserved1[5];
    uint8_t label[ZT_LABEL_LEN];
    uint8_t reserved2[192];
};

struct ZTProcEntry {
    uint8_t inUse;
    uint8_t reserved0[7];
    int64_t pid;
    int32_t slotmap;  // slot of the one pending change, -1 = none
    uint8_t reserved1[20];
    int64_t registeredAt;
};

struct ZTSlotRegistry {
    uint8_t slotCount;
    uint8_t reserved[7];
    ZTLibraryInfo64 info;
    ZTSlotRecord slotRecords[ZT_SLOT_COUNT];
    ZTProcEntry procs[ZT_PROC_COUNT];
};

// The natural alignment of every field already gives the shared offsets;
// these asserts keep it that way.
static_assert(sizeof(ZTLibraryInfo64) == 88 && offsetof(ZTLibraryInfo64, flags) == 40 &&
                  offsetof(ZTLibraryInfo64, libraryDescription) == 48,
              "library information layout");
static_assert(offsetof(ZTSlotRecord, deviceHandle) == 264 && offsetof(ZTSlotRecord, present) == 268 &&
                  offsetof(ZTSlotRecord, slotDescription) == 272 && offsetof(ZTSlotRecord, manufacturerID) == 336 &&
                  offsetof(ZTSlotRecord, flags) == 368 && offsetof(ZTSlotRecord, hardwareMajor) == 376 &&
                  offsetof(ZTSlotRecord, tokenInfo) == 384 && offsetof(ZTSlotRecord, reservedArea1) == 592 &&
                  offsetof(ZTSlotRecord, reservedArea2) == 4689 && offsetof(ZTSlotRecord, reservedArea3) == 8786 &&
                  offsetof(ZTSlotRecord, label) == 12888 && sizeof(ZTSlotRecord) == 13144,
              "slot record layout");
static_assert(offsetof(ZTProcEntry, pid) == 8 && offsetof(ZTProcEntry, slotmap) == 16 &&
                  offsetof(ZTProcEntry, registeredAt) == 40 && sizeof(ZTProcEntry) == 48,
              "process entry layout");
static_assert(offsetof(ZTSlotRegistry, info) == 8 && offsetof(ZTSlotRegistry, slotRecords) == 96 &&
                  offsetof(ZTSlotRegistry, procs) == 52672 && sizeof(ZTSlotRegistry) == ZT_P11_SHM_SIZE,
              "registry layout");

// Index of this process's entry; 0 after unregistering.
extern int g_MgrProcIndex;
// Asked once a second by the change wait; true ends the wait with nothing
// collected. Called on the waiting thread, so it must only read a flag.
typedef bool (*ZTStopRequested)();

DWORD SlotManagerInitialize();
DWORD SlotManagerFinalize();
// handle: the token library's device handle (its low 32 bits are stored).
DWORD SlotManagerAddSlotInfo(int slot, const char* deviceName, const unsigned char* tokenInfo, void* handle,
                             const unsigned char* label);
DWORD SlotManagerRemoveSlotInfo(int slot, const char* deviceName, const unsigned char* tokenInfo, void* handle);
DWORD SlotManagerClearSlotInfo();
DWORD SlotManagerChangeDeviceLabel(int slot, const unsigned char* label, int ignored);
// deviceName: a buffer of at least 256 bytes (the programs pass 260).
DWORD SlotManagerGetSlotName(int slot, char* deviceName);
DWORD SlotManagerGetSlotByName(int* slot, const char* deviceName, int count);
// label: a zeroed buffer of 64 bytes; serial: 16 bytes, no terminator.
DWORD SlotManagerGetSlotInfoBySlotNo(int slot, void** handle, char* deviceName, unsigned char* label,
                                     unsigned char* serial, unsigned long* tokenFlags);
DWORD SlotManagerSetSlotChanged(int kind, int slot);
DWORD SlotManagerGetSlotChanged(int* kind, int* slot, ZTStopRequested stopRequested);
BOOL16 SlotManagerRegisterProcess();
void SlotManagerUnRegisterProcess();
// For a long-running consumer: when a restarted daemon has replaced the
// registry, maps the new one and ends a change wait still on the old; when
// this process is not (or no longer) registered, registers it. rejoined is
// TRUE after a registration, when the caller should read all slots again.
DWORD SlotManagerRejoinRegistry(BOOL16* rejoined);
