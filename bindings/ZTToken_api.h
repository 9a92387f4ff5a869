#pragma once
// Calling convention of the maker's token library (libZTTokenKernel.so), shared
// by the binding and by our stand-in of the library.
//
// Conventions of every call:
// - Result: 32-bit unsigned, 0 = success, otherwise one of ZTTOKEN_ERR_*.
// - Handles are opaque. A device handle comes from the enumeration or from one
//   of the OpenDevice* calls; whoever opened it closes it with
//   ZTToken_CloseDevice. A null or unknown handle gives ZTTOKEN_ERR_INVALID_HANDLE
//   (never a crash). Container handles belong to their device and end with it.
// - uint64_t* length arguments: in = capacity of the buffer in bytes (or
//   entries), out = bytes (entries) written. A buffer that is too small gives
//   ZTTOKEN_ERR_BUFFER_TOO_SMALL with the needed size in *length and nothing
//   written.
// - Slot numbers are 0..3, the slot registry's capacity.
// - Texts are 0-terminated 8-bit (UTF-8); labels cross as UTF-16LE.
// - A name the stand-in does not implement returns ZTTOKEN_ERR_NOT_SUPPORTED.
#include <cstddef>
#include <cstdint>

#include "common/KeyEvent.h"

// Result codes (0 = success). The PIN and certificate codes are the ones the
// programs test for.
#define ZTTOKEN_OK 0x00000000u
#define ZTTOKEN_ERR_NO_DEVICE 0x10000101u         // no such key, or it is not plugged
#define ZTTOKEN_ERR_INVALID_HANDLE 0x10000102u    // null, closed or unknown handle
#define ZTTOKEN_ERR_INVALID_ARG 0x10000103u
#define ZTTOKEN_ERR_BUFFER_TOO_SMALL 0x10000104u  // *length holds the size needed
#define ZTTOKEN_ERR_STORE_IO 0x10000105u          // the virtual key store cannot be read or written
#define ZTTOKEN_ERR_DAMAGED 0x10000106u           // the key's record is damaged
#define ZTTOKEN_ERR_MEMSTORE 0x10000107u          // memory certificate store unavailable
#define ZTTOKEN_ERR_BUSY 0x10000108u              // a lock could not be taken in time
#define ZTTOKEN_ERR_NO_MORE 0x10000109u           // end of an enumeration
#define ZTTOKEN_ERR_NOT_INITIALISED 0x1000010Au   // InitZTToken was not called
#define ZTTOKEN_ERR_PIN_INCORRECT 0x10000411u
#define ZTTOKEN_ERR_PIN_LOCKED 0x10000412u
#define ZTTOKEN_ERR_PIN_LENGTH 0x10000413u        // PIN outside 6..16 bytes or with control bytes
#define ZTTOKEN_ERR_PIN_UNCHANGED 0x30001036u     // the initial PIN was never changed
#define ZTTOKEN_ERR_NO_CERT 0x10000601u           // no such certificate in the container
#define ZTTOKEN_ERR_NO_CONTAINER 0x10000602u
#define ZTTOKEN_ERR_CONTAINER_FULL 0x10000603u    // at most 8 containers per key
#define ZTTOKEN_ERR_BAD_CERT 0x10000604u          // not one DER certificate of at most 4096 bytes
#define ZTTOKEN_ERR_NOT_SUPPORTED 0x1000FFFFu

// Caller kinds of InitZTToken.
#define ZTTOKEN_CALLER_DAEMON 1u
#define ZTTOKEN_CALLER_MANAGER 2u

// PIN kinds.
#define ZTTOKEN_PIN_ADMIN 0u  // security officer PIN, unlocks the user PIN
#define ZTTOKEN_PIN_USER 1u

// Device attributes (ZTToken_GetDeviceAttr).
#define ZTTOKEN_DEVATTR_NAME 0u    // device name, 0-terminated; *length = bytes without the 0
#define ZTTOKEN_DEVATTR_SERIAL 1u  // serial number, 0-terminated; *length as above
#define ZTTOKEN_DEVATTR_SLOT 4u    // slot number bound to the handle, 8-byte unsigned

// Container attributes (ZTToken_GetContainerAttr); the numbers are 8-byte
// unsigned values, the name a 0-terminated text.
#define ZTTOKEN_CONTATTR_NAME 0u
#define ZTTOKEN_CONTATTR_TYPE 1u       // ZTTOKEN_CONTAINER_RSA or _SM2
#define ZTTOKEN_CONTATTR_SIGN_INDEX 6u // certificate index, or ZTTOKEN_ERR_NO_CERT
#define ZTTOKEN_CONTATTR_EXCH_INDEX 7u // certificate index, or ZTTOKEN_ERR_NO_CERT
#define ZTTOKEN_CONTATTR_STATE 8u      // ZTTOKEN_CONTAINER_READY when it holds a certificate
#define ZTTOKEN_CONTAINER_RSA 1u
#define ZTTOKEN_CONTAINER_SM2 2u
#define ZTTOKEN_CONTAINER_EMPTY 1u
#define ZTTOKEN_CONTAINER_READY 2u

// Key specs of certificates inside a container.
#define ZTTOKEN_AT_KEYEXCHANGE 1u
#define ZTTOKEN_AT_SIGNATURE 2u

// Certificate index of a container's certificates: container n (0..7 in
// enumeration order) has its exchange certificate at 2n+1 and its signature
// certificate at 2n+2, so one key uses the indices 1..16.
#define ZTTOKEN_MAX_CONTAINERS 8u
#define ZTTOKEN_MAX_CERT_INDEX 16u
#define ZTTOKEN_MAX_CERT_LEN 4096u

// Device changes (ZTToken_GetDeviceChange) are ZT_KEY_EVENT_ADDED and
// ZT_KEY_EVENT_REMOVED.

// ZTToken_ClearMemInfo: what to clear of a slot.
#define ZTTOKEN_MEMINFO_CERTS 1u

// ZTToken_GetPinInfo record (6 bytes).
#define ZTTOKEN_PININFO_LEN 6u
#define ZTTOKEN_PININFO_MAX_RETRIES 0    // attempts a fresh PIN allows
#define ZTTOKEN_PININFO_RETRIES 1        // attempts left, 0 = locked
#define ZTTOKEN_PININFO_CHANGED 2        // 0 = the initial PIN must still be set
#define ZTTOKEN_PININFO_MIN_LEN 3
#define ZTTOKEN_PININFO_MAX_LEN 4
#define ZTTOKEN_PININFO_INITIALISED 5    // 0 = the key must be formatted first

#pragma pack(push, 1)
// One supported reader of ZTToken_GetCCIDDeviceInfoFromConfigFile (780 bytes).
struct ZTCCIDDeviceInfo {
    uint32_t vendorId;
    uint32_t productId;
    char name[260];          // 0-terminated
    char readerPattern[260]; // 0-terminated
    uint8_t reserved[252];
};
#pragma pack(pop)
static_assert(sizeof(ZTCCIDDeviceInfo) == 780, "supported-device record is 780 bytes");

extern "C" {
// Start and end of one caller's use; callerKind is ZTTOKEN_CALLER_*. Before
// InitZTToken (and after FreeZTToken) every implemented call but DebugTrace
// returns ZTTOKEN_ERR_NOT_INITIALISED.
typedef uint32_t (*PFN_InitZTToken)(uint32_t callerKind);
typedef uint32_t (*PFN_FreeZTToken)();

typedef uint32_t (*PFN_ZTToken_GetProviderName)(char* name, uint64_t* length);

// Containers. EnumContainer returns the container at position *index and
// advances *index; flags 255 lists every container; past the last one it
// returns ZTTOKEN_ERR_NO_MORE.
typedef uint32_t (*PFN_ZTToken_EnumContainer)(void* device, uint32_t flags, uint64_t* index, void** container);
typedef uint32_t (*PFN_ZTToken_OpenContainer)(void* device, const char* name, void** container);
typedef uint32_t (*PFN_ZTToken_CloseContainer)(void* container);
typedef uint32_t (*PFN_ZTToken_CloseAllContainer)(void* device);
typedef uint32_t (*PFN_ZTToken_CreateContainer)(void* device, const char* name, uint32_t type, void** container);
typedef uint32_t (*PFN_ZTToken_DeleteContainerByHandle)(void* container);
typedef uint32_t (*PFN_ZTToken_DeleteContainerByName)(void* device, const char* name);
typedef uint32_t (*PFN_ZTToken_UpdateContainer)(void* container);
typedef uint32_t (*PFN_ZTToken_GetContainerAttr)(void* container, uint32_t attribute, void* value, uint64_t* length);
typedef uint32_t (*PFN_ZTToken_SetContainerAttr)(void* container, uint32_t attribute, const void* value,
                                                 uint64_t length);

// Devices. The enumeration lists the plugged keys that hold a slot: *count in =
// capacity of handles, out = keys listed (never more than the capacity);
// *allCount = every plugged key. A key keeps one listed handle across
// enumerations; it needs OpenDeviceByHandle before use, CloseDevice only ends
// that use, and DestroyEnum drops the listed handles of keys no longer plugged
// (so overlapping enumeration passes never lose each other's handles).
typedef uint32_t (*PFN_ZTToken_IsSupportDev)(uint32_t vendorId, uint32_t productId);
typedef uint32_t (*PFN_ZTToken_EnumDevice)(uint64_t* count, void** handles);
typedef uint32_t (*PFN_ZTToken_EnumDeviceWithAllCount)(uint64_t* count, void** handles, uint64_t* allCount);
typedef uint32_t (*PFN_ZTToken_DestroyEnum)();
typedef uint32_t (*PFN_ZTToken_OpenDeviceByName)(const char* deviceName, void** device);
typedef uint32_t (*PFN_ZTToken_OpenDeviceByHandle)(void* device);
typedef uint32_t (*PFN_ZTToken_OpenDeviceBySlotID)(uint64_t slot, void** device);
// Opens a plugged key by device name and binds the handle to slot (0..3): the
// certificates read through it go to that slot of the memory store.
typedef uint32_t (*PFN_ZTToken_OpenDeviceByNameAndSetSlotID)(const char* deviceName, void** device, uint64_t slot);
typedef uint32_t (*PFN_ZTToken_CloseDevice)(void* device);
typedef uint32_t (*PFN_ZTToken_ResetDevice)(void* device);
typedef uint32_t (*PFN_ZTToken_AddDevice)(const char* deviceName);
typedef uint32_t (*PFN_ZTToken_RemoveDevice)(const char* deviceName);
// Slots whose key was removed (kind 3) or added (kind 2) since this process's
// previous query of the same kind. *count in = capacity of slots, out =
// entries written; changes beyond the capacity stay for the next query.
typedef uint32_t (*PFN_ZTToken_GetDeviceChange)(uint32_t kind, uint64_t* slots, uint64_t* count);
typedef uint32_t (*PFN_ZTToken_GetDeviceAttr)(void* device, uint32_t attribute, void* value, uint64_t* length);

// Cryptography: not part of the software token (ZTTOKEN_ERR_NOT_SUPPORTED).
typedef uint32_t (*PFN_ZTToken_GenRandom)(void* device, uint8_t* out, uint64_t length);
typedef uint32_t (*PFN_ZTToken_GenSessionKey)(void* device, uint32_t algorithm, void** key);
typedef uint32_t (*PFN_ZTToken_GenAsymKey)(void* container, uint32_t algorithm, uint32_t keySpec, void** key);
typedef uint32_t (*PFN_ZTToken_CloseKey)(void* key);
typedef uint32_t (*PFN_ZTToken_GetKeyAttr)(void* key, uint32_t attribute, void* value, uint64_t* length);
typedef uint32_t (*PFN_ZTToken_SetKeyAttr)(void* key, uint32_t attribute, const void* value, uint64_t length);
typedef uint32_t (*PFN_ZTToken_CreateHashObject)(void* device, uint32_t algorithm, void** hash);
typedef uint32_t (*PFN_ZTToken_HashUpdate)(void* hash, const uint8_t* data, uint64_t length);
typedef uint32_t (*PFN_ZTToken_HashFinal)(void* hash, uint8_t* digest, uint64_t* length);
typedef uint32_t (*PFN_ZTToken_MessageDigest)(void* device, uint32_t algorithm, const uint8_t* data, uint64_t length,
                                              uint8_t* digest, uint64_t* digestLength);
typedef uint32_t (*PFN_ZTToken_GetSM3DigestZA)(const uint8_t* publicKey, uint64_t publicKeyLength, const uint8_t* id,
                                               uint64_t idLength, uint8_t* za, uint64_t* zaLength);
typedef uint32_t (*PFN_ZTToken_Encrypt)(void* key, const uint8_t* in, uint64_t inLength, uint8_t* out,
                                        uint64_t* outLength);
typedef uint32_t (*PFN_ZTToken_Decrypt)(void* key, const uint8_t* in, uint64_t inLength, uint8_t* out,
                                        uint64_t* outLength);
typedef uint32_t (*PFN_ZTToken_SignHash)(void* container, uint32_t keySpec, const uint8_t* hash, uint64_t hashLength,
                                         uint8_t* signature, uint64_t* signatureLength);
typedef uint32_t (*PFN_ZTToken_VerifyHash)(void* container, uint32_t keySpec, const uint8_t* hash,
                                           uint64_t hashLength, const uint8_t* signature, uint64_t signatureLength);
typedef uint32_t (*PFN_ZTToken_ImportKey)(void* container, uint32_t keySpec, const uint8_t* blob, uint64_t length,
                                          void** key);
typedef uint32_t (*PFN_ZTToken_NegotiateTransaction)(void* device, const uint8_t* data, uint64_t length);
typedef uint32_t (*PFN_ZTToken_SignTransaction)(void* device, const uint8_t* data, uint64_t length);
typedef uint32_t (*PFN_ZTToken_GetTranSignature)(void* device, uint8_t* signature, uint64_t* length);
typedef uint32_t (*PFN_ZTToken_CancelTransaction)(void* device);
typedef uint32_t (*PFN_ZTToken_DeleteKeyPair)(void* container, uint32_t keySpec);

// Certificates. ReadCert copies the certificate at certIndex (see
// ZTTOKEN_MAX_CERT_INDEX) and, when the handle is bound to a slot, leaves it in
// the memory store for that slot at that index. WriteCert stores a DER
// certificate (at most 4096 bytes) in a container under keySpec.
typedef uint32_t (*PFN_ZTToken_ReadCert)(void* device, uint64_t certIndex, uint8_t* buffer, uint64_t* length);
typedef uint32_t (*PFN_ZTToken_WriteCert)(void* container, uint32_t keySpec, const uint8_t* der, uint64_t length);
typedef uint32_t (*PFN_ZTToken_DeleteUserCert)(void* container, uint32_t keySpec);
typedef uint32_t (*PFN_ZTToken_RegUserCert)(void* device, uint64_t certIndex);
typedef uint32_t (*PFN_ZTToken_RegCertToStore)(const uint8_t* der, uint64_t length);
typedef uint32_t (*PFN_ZTToken_UnRegUserCert)(void* device, uint64_t certIndex);
typedef uint32_t (*PFN_ZTToken_IsSignSelf)(const uint8_t* der, uint64_t length);

// Memory certificate store, shared by every process of the user: per slot
// 0..3, certificates at indices 1..16.
typedef uint32_t (*PFN_ZTToken_ReadMemCert)(uint64_t slot, uint8_t* buffer, uint64_t* length);
// 0 and the length for a stored certificate; ZTTOKEN_ERR_NO_CERT for an empty index.
typedef uint32_t (*PFN_ZTToken_ReadMemCertByIndex)(uint64_t slot, uint64_t index, uint8_t* buffer, uint64_t* length);
// Clears what of one slot (ZTTOKEN_MEMINFO_CERTS).
typedef uint32_t (*PFN_ZTToken_ClearMemInfo)(uint64_t slot, uint32_t what);
typedef uint32_t (*PFN_ZTToken_DeleteMemCert)(uint64_t slot, uint64_t index);

typedef uint32_t (*PFN_ZTToken_DestoryObject)(void* object);
typedef uint32_t (*PFN_ZTToken_DuplicateObject)(void* object, void** copy);
typedef uint32_t (*PFN_ZTToken_IsMeetSecurityStatus)(void* device, uint32_t pinKind);
typedef uint32_t (*PFN_ZTToken_ExternalAuth)(void* device, const uint8_t* data, uint64_t length);

// PINs (pinKind ZTTOKEN_PIN_*). Every attempt is recorded before the result
// comes back; *retries (may be null) receives the attempts left.
typedef uint32_t (*PFN_ZTToken_VerifyPin)(void* device, uint32_t pinKind, const char* pin, uint64_t* retries);
typedef uint32_t (*PFN_ZTToken_GetPinRetryNum)(void* device, uint32_t pinKind, uint64_t* retries);
// Verifies the admin PIN and sets a new user PIN with a full attempt count.
typedef uint32_t (*PFN_ZTToken_UnlockPin)(void* device, const char* adminPin, const char* newUserPin,
                                          uint64_t* retries);
typedef uint32_t (*PFN_ZTToken_ChangePin)(void* device, uint32_t pinKind, const char* oldPin, const char* newPin,
                                          uint64_t* retries);

// Label as UTF-16LE code units, at most 32, without terminator in the count:
// *length in = capacity in bytes, out = bytes of the label; the rest of the
// buffer is zeroed.
typedef uint32_t (*PFN_ZTToken_GetTokenLabel)(void* device, uint16_t* label, uint64_t* length);
// length in bytes (even); at most 32 code units and 32 bytes of UTF-8.
typedef uint32_t (*PFN_ZTToken_SetTokenLabel)(void* device, const uint16_t* label, uint64_t length);
// CK_TOKEN_INFO in its 64-bit layout (208 bytes, TokenInfo64).
typedef uint32_t (*PFN_ZTToken_GetTokenInfo)(void* device, void* info, uint64_t* length);
typedef uint32_t (*PFN_ZTToken_GetPinStatus)(void* device, uint32_t pinKind, uint32_t* status);
typedef uint32_t (*PFN_ZTToken_SetTokenDisplayLang)(void* device, uint32_t language);
typedef uint32_t (*PFN_ZTToken_IsTranHashMeth)(uint32_t algorithm);
typedef uint32_t (*PFN_ZTToken_IsTranHashMethByHandle)(void* device, uint32_t algorithm);
typedef uint32_t (*PFN_ZTToken_InitToken)(void* device, const char* adminPin, const char* userPin, const char* label);
typedef uint32_t (*PFN_ZTToken_DeleteADF)(void* device);
typedef uint32_t (*PFN_ZTToken_InitTokenEx)(void* device, const void* parameters, uint64_t length);
typedef uint32_t (*PFN_ZTToken_GetDevicePressStatus)(void* device, uint32_t* pressed);
typedef uint32_t (*PFN_ZTToken_GetDeviceSerialNumber)(void* device, char* serial, uint64_t* length);
typedef uint32_t (*PFN_ZTToken_GetCOSInfo)(void* device, void* info, uint64_t* length);
typedef uint32_t (*PFN_ZTToken_SetPinStatus)(void* device, uint32_t pinKind, uint32_t status);
typedef uint32_t (*PFN_ZTToken_ReadShmPin)(void* device, char* pin, uint64_t* length);
typedef uint32_t (*PFN_ZTToken_WriteShmPin)(void* device, const char* pin);
typedef uint32_t (*PFN_ZTToken_SCSISvr)(void* device, const uint8_t* command, uint64_t commandLength,
                                        uint8_t* response, uint64_t* responseLength);
typedef uint32_t (*PFN_ZTToken_RegCACert)(const uint8_t* der, uint64_t length);
typedef uint32_t (*PFN_ZTToken_ReadBinFile)(void* device, const char* name, uint64_t offset, uint8_t* buffer,
                                            uint64_t* length);
typedef uint32_t (*PFN_ZTToken_WriteBinFile)(void* device, const char* name, uint64_t offset, const uint8_t* data,
                                             uint64_t length);
typedef uint32_t (*PFN_ZTToken_GetDeviceChannelType)(void* device, uint32_t* type);
typedef uint32_t (*PFN_ZTToken_GetPKCSObjectInfo)(void* device, void* info, uint64_t* length);
typedef uint32_t (*PFN_ZTToken_SetPKCSObjectInfo)(void* device, const void* info, uint64_t length);
// Supported readers as ZTCCIDDeviceInfo records (the software token lists the
// product's one key, vendor 0x2EC9, product 0x1001). A null records pointer
// only sets *count; otherwise *count in = capacity in records, out = records
// written.
typedef uint32_t (*PFN_ZTToken_GetCCIDDeviceInfoFromConfigFile)(void* records, uint64_t* count);
typedef uint32_t (*PFN_ZTToken_DebugTrace)(const char* format, ...);
// The 6-byte record of ZTTOKEN_PININFO_*; *length must be at least 6.
typedef uint32_t (*PFN_ZTToken_GetPinInfo)(void* device, uint32_t pinKind, uint8_t* record, uint64_t* length);
typedef uint32_t (*PFN_ZTToken_GetAccelerate)(void* device, uint32_t* enabled);
typedef uint32_t (*PFN_ZTToken_SetAccelerate)(void* device, uint32_t enabled);
typedef uint32_t (*PFN_ZTToken_InitTokenPin)(void* device, const char* adminPin, const char* userPin);
typedef uint32_t (*PFN_ZTToken_InitTokenOther)(void* device, const void* parameters, uint64_t length);
typedef uint32_t (*PFN_ZTToken_TransactionEnd)(void* device);
typedef uint32_t (*PFN_ZTToken_CheckPinLockOrUnChange)(void* device, uint32_t pinKind);
typedef uint32_t (*PFN_ZTToken_GetBirthID)(void* device, uint8_t* id, uint64_t* length);
typedef uint32_t (*PFN_ZTToken_BirthIDSignHash)(void* device, const uint8_t* hash, uint64_t hashLength,
                                                uint8_t* signature, uint64_t* signatureLength);
typedef uint32_t (*PFN_ZTToken_TransmitAPDU)(void* device, const uint8_t* apdu, uint64_t apduLength,
                                             uint8_t* response, uint64_t* responseLength);
typedef uint32_t (*PFN_ZTToken_GetProgramID)(char* id, uint64_t* length);
}

// Every name in resolution order: X(name, required). The loader stops at the
// first missing required name; the four optional ones may be absent.
#define ZTTOKEN_FUNCTIONS(X)                      \
    X(InitZTToken, 1)                             \
    X(FreeZTToken, 1)                             \
    X(ZTToken_GetProviderName, 1)                 \
    X(ZTToken_EnumContainer, 1)                   \
    X(ZTToken_OpenContainer, 1)                   \
    X(ZTToken_CloseContainer, 1)                  \
    X(ZTToken_CloseAllContainer, 1)               \
    X(ZTToken_CreateContainer, 1)                 \
    X(ZTToken_DeleteContainerByHandle, 1)         \
    X(ZTToken_DeleteContainerByName, 1)           \
    X(ZTToken_UpdateContainer, 1)                 \
    X(ZTToken_GetContainerAttr, 1)                \
    X(ZTToken_SetContainerAttr, 1)                \
    X(ZTToken_IsSupportDev, 1)                    \
    X(ZTToken_EnumDevice, 1)                      \
    X(ZTToken_EnumDeviceWithAllCount, 1)          \
    X(ZTToken_DestroyEnum, 1)                     \
    X(ZTToken_OpenDeviceByName, 1)                \
    X(ZTToken_OpenDeviceByHandle, 1)              \
    X(ZTToken_OpenDeviceBySlotID, 1)              \
    X(ZTToken_OpenDeviceByNameAndSetSlotID, 1)    \
    X(ZTToken_CloseDevice, 1)                     \
    X(ZTToken_ResetDevice, 1)                     \
    X(ZTToken_AddDevice, 1)                       \
    X(ZTToken_RemoveDevice, 1)                    \
    X(ZTToken_GetDeviceChange, 1)                 \
    X(ZTToken_GetDeviceAttr, 1)                   \
    X(ZTToken_GenRandom, 1)                       \
    X(ZTToken_GenSessionKey, 1)                   \
    X(ZTToken_GenAsymKey, 1)                      \
    X(ZTToken_CloseKey, 1)                        \
    X(ZTToken_GetKeyAttr, 1)                      \
    X(ZTToken_SetKeyAttr, 1)                      \
    X(ZTToken_CreateHashObject, 1)                \
    X(ZTToken_HashUpdate, 1)                      \
    X(ZTToken_HashFinal, 1)                       \
    X(ZTToken_MessageDigest, 1)                   \
    X(ZTToken_GetSM3DigestZA, 1)                  \
    X(ZTToken_Encrypt, 1)                         \
    X(ZTToken_Decrypt, 1)                         \
    X(ZTToken_SignHash, 1)                        \
    X(ZTToken_VerifyHash, 1)                      \
    X(ZTToken_ImportKey, 1)                       \
    X(ZTToken_NegotiateTransaction, 1)            \
    X(ZTToken_SignTransaction, 1)                 \
    X(ZTToken_GetTranSignature, 1)                \
    X(ZTToken_CancelTransaction, 1)               \
    X(ZTToken_DeleteKeyPair, 1)                   \
    X(ZTToken_ReadCert, 1)                        \
    X(ZTToken_WriteCert, 1)                       \
    X(ZTToken_DeleteUserCert, 1)                  \
    X(ZTToken_RegUserCert, 1)                     \
    X(ZTToken_RegCertToStore, 1)                  \
    X(ZTToken_UnRegUserCert, 1)                   \
    X(ZTToken_IsSignSelf, 1)                      \
    X(ZTToken_ReadMemCert, 1)                     \
    X(ZTToken_ReadMemCertByIndex, 1)              \
    X(ZTToken_ClearMemInfo, 1)                    \
    X(ZTToken_DeleteMemCert, 1)                   \
    X(ZTToken_DestoryObject, 1)                   \
    X(ZTToken_DuplicateObject, 1)                 \
    X(ZTToken_IsMeetSecurityStatus, 1)            \
    X(ZTToken_ExternalAuth, 1)                    \
    X(ZTToken_VerifyPin, 1)                       \
    X(ZTToken_GetPinRetryNum, 1)                  \
    X(ZTToken_UnlockPin, 1)                       \
    X(ZTToken_ChangePin, 1)                       \
    X(ZTToken_GetTokenLabel, 1)                   \
    X(ZTToken_SetTokenLabel, 1)                   \
    X(ZTToken_GetTokenInfo, 1)                    \
    X(ZTToken_GetPinStatus, 1)                    \
    X(ZTToken_SetTokenDisplayLang, 1)             \
    X(ZTToken_IsTranHashMeth, 1)                  \
    X(ZTToken_IsTranHashMethByHandle, 1)          \
    X(ZTToken_InitToken, 1)                       \
    X(ZTToken_DeleteADF, 0)                       \
    X(ZTToken_InitTokenEx, 0)                     \
    X(ZTToken_GetDevicePressStatus, 1)            \
    X(ZTToken_GetDeviceSerialNumber, 1)           \
    X(ZTToken_GetCOSInfo, 1)                      \
    X(ZTToken_SetPinStatus, 1)                    \
    X(ZTToken_ReadShmPin, 1)                      \
    X(ZTToken_WriteShmPin, 1)                     \
    X(ZTToken_SCSISvr, 0)                         \
    X(ZTToken_RegCACert, 1)                       \
    X(ZTToken_ReadBinFile, 1)                     \
    X(ZTToken_WriteBinFile, 1)                    \
    X(ZTToken_GetDeviceChannelType, 1)            \
    X(ZTToken_GetPKCSObjectInfo, 1)               \
    X(ZTToken_SetPKCSObjectInfo, 0)               \
    X(ZTToken_GetCCIDDeviceInfoFromConfigFile, 1) \
    X(ZTToken_DebugTrace, 1)                      \
    X(ZTToken_GetPinInfo, 1)                      \
    X(ZTToken_GetAccelerate, 1)                   \
    X(ZTToken_SetAccelerate, 1)                   \
    X(ZTToken_InitTokenPin, 1)                    \
    X(ZTToken_InitTokenOther, 1)                  \
    X(ZTToken_TransactionEnd, 1)                  \
    X(ZTToken_CheckPinLockOrUnChange, 1)          \
    X(ZTToken_GetBirthID, 1)                      \
    X(ZTToken_BirthIDSignHash, 1)                 \
    X(ZTToken_TransmitAPDU, 1)                    \
    X(ZTToken_GetProgramID, 1)
