#pragma once
// Result codes and records shared by both programs and, byte for byte, by the
// maker's libraries that read the same structures.
#include <cstddef>
#include <cstdint>

typedef uint32_t DWORD;
typedef int16_t BOOL16;  // the 16-bit booleans returned by the library loaders
typedef void* HMODULE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define ZT_PATH_LEN 260  // every path, name and value buffer of the programs

// Result codes of the common layer (0 = success).
#define ZT_OK 0x00000000u
#define ZT_ERR_SLOT_EMPTY 0x00001004u
#define ZT_ERR_LANG_OR_PININFO 0x10000001u
#define ZT_ERR_UNEXPECTED 0x10000002u
#define ZT_ERR_NO_MEMORY 0x10000003u
#define ZT_ERR_NO_DEVICE 0x10000004u
#define ZT_ERR_LOAD_LIBRARY 0x10000006u
#define ZT_ERR_INVALID_ARG 0x10000007u

// Log levels in use at the call sites; the level is accepted but not written.
#define ZT_LOG_STEP 0x1000ul
#define ZT_LOG_PROCESS 0x2000ul
#define ZT_LOG_FAILURE 0x4000ul
#define ZT_LOG_TRACE 0xF000ul

#pragma pack(push, 1)
struct CK_VERSION_ZT {
    uint8_t major;
    uint8_t minor;
};
#pragma pack(pop)

// CK_TOKEN_INFO as a 32-bit build lays it out (160 bytes).
struct TokenInfo32 {
    uint8_t label[32];
    uint8_t manufacturerID[32];
    uint8_t model[16];
    uint8_t serialNumber[16];
    uint32_t flags;
    uint32_t ulMaxSessionCount;
    uint32_t ulSessionCount;
    uint32_t ulMaxRwSessionCount;
    uint32_t ulRwSessionCount;
    uint32_t ulMaxPinLen;
    uint32_t ulMinPinLen;
    uint32_t ulTotalPublicMemory;
    uint32_t ulFreePublicMemory;
    uint32_t ulTotalPrivateMemory;
    uint32_t ulFreePrivateMemory;
    CK_VERSION_ZT hardwareVersion;
    CK_VERSION_ZT firmwareVersion;
    uint8_t utcTime[16];
};

// CK_TOKEN_INFO as a 64-bit build lays it out (204 bytes used, 208 with padding).
struct TokenInfo64 {
    uint8_t label[32];
    uint8_t manufacturerID[32];
    uint8_t model[16];
    uint8_t serialNumber[16];
    uint64_t flags;
    uint64_t ulMaxSessionCount;
    uint64_t ulSessionCount;
    uint64_t ulMaxRwSessionCount;
    uint64_t ulRwSessionCount;
    uint64_t ulMaxPinLen;
    uint64_t ulMinPinLen;
    uint64_t ulTotalPublicMemory;
    uint64_t ulFreePublicMemory;
    uint64_t ulTotalPrivateMemory;
    uint64_t ulFreePrivateMemory;
    CK_VERSION_ZT hardwareVersion;
    CK_VERSION_ZT firmwareVersion;
    uint8_t utcTime[16];
};

static_assert(sizeof(TokenInfo32) == 160, "TokenInfo32 layout");
static_assert(offsetof(TokenInfo32, flags) == 96 && offsetof(TokenInfo32, hardwareVersion) == 140 &&
                  offsetof(TokenInfo32, utcTime) == 144,
              "TokenInfo32 offsets");
static_assert(sizeof(TokenInfo64) == 208, "TokenInfo64 layout");
static_assert(offsetof(TokenInfo64, flags) == 96 && offsetof(TokenInfo64, ulMaxSessionCount) == 104 &&
                  offsetof(TokenInfo64, ulFreePrivateMemory) == 176 &&
                  offsetof(TokenInfo64, hardwareVersion) == 184 && offsetof(TokenInfo64, utcTime) == 188,
              "TokenInfo64 offsets");

// Position codes handed to the update and enumeration threads: the key
// events of KeyEvent.h, as objects whose address a thread can be given.
extern const uint64_t g_nPostions_init;
extern const uint64_t g_nPostions_add;
extern const uint64_t g_nPostions_del;
