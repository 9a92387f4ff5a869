#pragma once
// Calling convention of the SKF library (GM/T 0016) as the bridge binds it and
// as our stand-in exports it. Only what the two sides share lives here.
#include <cstdint>

typedef uint32_t SKF_ULONG;
typedef int32_t SKF_BOOL;
typedef void* DEVHANDLE;
typedef void* HAPPLICATION;
typedef void* HCONTAINER;
typedef void* SKF_HANDLE;

// Result codes of the standard (0 = success).
#define SAR_OK 0x00000000u
#define SAR_FAIL 0x0A000001u
#define SAR_UNKNOWNERR 0x0A000002u
#define SAR_NOTSUPPORTYETERR 0x0A000003u
#define SAR_FILEERR 0x0A000004u
#define SAR_INVALIDHANDLEERR 0x0A000005u
#define SAR_INVALIDPARAMERR 0x0A000006u
#define SAR_READFILEERR 0x0A000007u
#define SAR_NAMELENERR 0x0A000009u
#define SAR_MEMORYERR 0x0A00000Eu
#define SAR_INDATALENERR 0x0A000010u
#define SAR_CERTNOTFOUNTERR 0x0A00001Cu
#define SAR_BUFFER_TOO_SMALL 0x0A000020u
#define SAR_DEVICE_REMOVED 0x0A000023u
#define SAR_PIN_INCORRECT 0x0A000024u
#define SAR_PIN_LOCKED 0x0A000025u
#define SAR_PIN_INVALID 0x0A000026u
#define SAR_PIN_LEN_RANGE 0x0A000027u
#define SAR_USER_TYPE_INVALID 0x0A00002Au
#define SAR_APPLICATION_NOT_EXISTS 0x0A00002Eu

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define SKF_USER_TYPE 1u
#define SKF_ADMIN_TYPE 0u

#pragma pack(push, 1)
struct SKF_VERSION {
    uint8_t major;
    uint8_t minor;
};

struct DEVINFO {
    SKF_VERSION Version;
    char Manufacturer[64];
    char Issuer[64];
    char Label[32];
    char SerialNumber[32];
    SKF_VERSION HWVersion;
    SKF_VERSION FirmwareVersion;
    SKF_ULONG AlgSymCap;
    SKF_ULONG AlgAsymCap;
    SKF_ULONG AlgHashCap;
    SKF_ULONG DevAuthAlgId;
    SKF_ULONG TotalSpace;
    SKF_ULONG FreeSpace;
    SKF_ULONG MaxECCBufferSize;
    SKF_ULONG MaxBufferSize;
    uint8_t Reserved[64];
};

struct BLOCKCIPHERPARAM {
    uint8_t IV[32];
    SKF_ULONG IVLen;
    SKF_ULONG PaddingType;
    SKF_ULONG FeedBitLen;
};
#pragma pack(pop)

static_assert(sizeof(DEVINFO) == 294, "DEVINFO is byte-packed");
static_assert(__builtin_offsetof(DEVINFO, SerialNumber) == 162, "DEVINFO serial offset");
static_assert(sizeof(BLOCKCIPHERPARAM) == 44, "BLOCKCIPHERPARAM is byte-packed");

// The 49 functions in resolution order: X(name, return, parameter list). Blob
// and signature records the bridge never touches are passed as void*.
#define SKF_FUNCTIONS(X)                                                                                         \
    X(SKF_EnumDev, (SKF_BOOL bPresent, char* szNameList, SKF_ULONG* pulSize))                                    \
    X(SKF_ConnectDev, (const char* szName, DEVHANDLE* phDev))                                                    \
    X(SKF_DisConnectDev, (DEVHANDLE hDev))                                                                       \
    X(SKF_GetDevState, (const char* szDevName, SKF_ULONG* pulDevState))                                          \
    X(SKF_GetDevInfo, (DEVHANDLE hDev, DEVINFO* pDevInfo))                                                       \
    X(SKF_EnumApplication, (DEVHANDLE hDev, char* szAppName, SKF_ULONG* pulSize))                                \
    X(SKF_OpenApplication, (DEVHANDLE hDev, const char* szAppName, HAPPLICATION* phApplication))                 \
    X(SKF_CloseApplication, (HAPPLICATION hApplication))                                                         \
    X(SKF_EnumContainer, (HAPPLICATION hApplication, char* szContainerName, SKF_ULONG* pulSize))                 \
    X(SKF_OpenContainer, (HAPPLICATION hApplication, const char* szContainerName, HCONTAINER* phContainer))      \
    X(SKF_CloseContainer, (HCONTAINER hContainer))                                                               \
    X(SKF_GetContainerType, (HCONTAINER hContainer, SKF_ULONG* pulContainerType))                                \
    X(SKF_CreateContainer, (HAPPLICATION hApplication, const char* szContainerName, HCONTAINER* phContainer))    \
    X(SKF_DeleteContainer, (HAPPLICATION hApplication, const char* szContainerName))                             \
    X(SKF_CreateFile, (HAPPLICATION hApplication, const char* szFileName, SKF_ULONG ulFileSize,                  \
                       SKF_ULONG ulReadRights, SKF_ULONG ulWriteRights))                                         \
    X(SKF_DeleteFile, (HAPPLICATION hApplication, const char* szFileName))                                       \
    X(SKF_EnumFiles, (HAPPLICATION hApplication, char* szFileList, SKF_ULONG* pulSize))                          \
    X(SKF_GetFileInfo, (HAPPLICATION hApplication, const char* szFileName, void* pFileInfo))                     \
    X(SKF_ReadFile, (HAPPLICATION hApplication, const char* szFileName, SKF_ULONG ulOffset, SKF_ULONG ulSize,    \
                     uint8_t* pbOutData, SKF_ULONG* pulOutLen))                                                  \
    X(SKF_WriteFile, (HAPPLICATION hApplication, const char* szFileName, SKF_ULONG ulOffset, uint8_t* pbData,    \
                      SKF_ULONG ulSize))                                                                         \
    X(SKF_VerifyPIN, (HAPPLICATION hApplication, SKF_ULONG ulPINType, const char* szPIN,                         \
                      SKF_ULONG* pulRetryCount))                                                                 \
    X(SKF_ChangePIN, (HAPPLICATION hApplication, SKF_ULONG ulPINType, const char* szOldPin,                      \
                      const char* szNewPin, SKF_ULONG* pulRetryCount))                                           \
    X(SKF_GetPINInfo, (HAPPLICATION hApplication, SKF_ULONG ulPINType, SKF_ULONG* pulMaxRetryCount,              \
                       SKF_ULONG* pulRemainRetryCount, SKF_BOOL* pbDefaultPin))                                  \
    X(SKF_GenRSAKeyPair, (HCONTAINER hContainer, SKF_ULONG ulBitsLen, void* pBlob))                              \
    X(SKF_GenECCKeyPair, (HCONTAINER hContainer, SKF_ULONG ulAlgId, void* pBlob))                                \
    X(SKF_ImportCertificate, (HCONTAINER hContainer, SKF_BOOL bSignFlag, uint8_t* pbCert, SKF_ULONG ulCertLen))  \
    X(SKF_RSASignData, (HCONTAINER hContainer, uint8_t* pbData, SKF_ULONG ulDataLen, uint8_t* pbSignature,       \
                        SKF_ULONG* pulSignLen))                                                                  \
    X(SKF_ECCSignData, (HCONTAINER hContainer, uint8_t* pbData, SKF_ULONG ulDataLen, void* pSignature))          \
    X(SKF_ECCVerify, (DEVHANDLE hDev, void* pECCPubKeyBlob, uint8_t* pbData, SKF_ULONG ulDataLen,                \
                      void* pSignature))                                                                         \
    X(SKF_ExportPublicKey, (HCONTAINER hContainer, SKF_BOOL bSignFlag, uint8_t* pbBlob, SKF_ULONG* pulBlobLen))  \
    X(SKF_DigestInit, (DEVHANDLE hDev, SKF_ULONG ulAlgID, void* pPubKey, uint8_t* pucID, SKF_ULONG ulIDLen,      \
                       SKF_HANDLE* phHash))                                                                      \
    X(SKF_DigestUpdate, (SKF_HANDLE hHash, uint8_t* pbData, SKF_ULONG ulDataLen))                                \
    X(SKF_DigestFinal, (SKF_HANDLE hHash, uint8_t* pHashData, SKF_ULONG* pulHashLen))                            \
    X(SKF_Digest, (SKF_HANDLE hHash, uint8_t* pbData, SKF_ULONG ulDataLen, uint8_t* pbHashData,                  \
                   SKF_ULONG* pulHashLen))                                                                       \
    X(SKF_RSADigestSignData, (HCONTAINER hContainer, SKF_ULONG ulHashAlgId, uint8_t* pbData, SKF_ULONG ulDataLen, \
                              uint8_t* pbSignature, SKF_ULONG* pulSignLen))                                      \
    X(SKF_ECCDigestSignData, (HCONTAINER hContainer, uint8_t* pbData, SKF_ULONG ulDataLen, void* pSignature))    \
    X(SKF_ECCSignDataEx, (HCONTAINER hContainer, uint8_t* pbData, SKF_ULONG ulDataLen, uint8_t* pbSignature,     \
                          SKF_ULONG* pulSignLen))                                                                \
    X(SKF_ExportCertificate, (HCONTAINER hContainer, SKF_BOOL bSignFlag, uint8_t* pbCert, SKF_ULONG* pulCertLen)) \
    X(SKF_GenRandom, (DEVHANDLE hDev, uint8_t* pbRandom, SKF_ULONG ulRandomLen))                                 \
    X(SKF_SetSymmKey, (DEVHANDLE hDev, uint8_t* pbKey, SKF_ULONG ulAlgID, SKF_HANDLE* phKey))                    \
    X(SKF_EncryptInit, (SKF_HANDLE hKey, BLOCKCIPHERPARAM EncryptParam))                                         \
    X(SKF_Encrypt, (SKF_HANDLE hKey, uint8_t* pbData, SKF_ULONG ulDataLen, uint8_t* pbEncryptedData,             \
                    SKF_ULONG* pulEncryptedLen))                                                                 \
    X(SKF_EncryptUpdate, (SKF_HANDLE hKey, uint8_t* pbData, SKF_ULONG ulDataLen, uint8_t* pbEncryptedData,       \
                          SKF_ULONG* pulEncryptedLen))                                                           \
    X(SKF_EncryptFinal, (SKF_HANDLE hKey, uint8_t* pbEncryptedData, SKF_ULONG* pulEncryptedDataLen))             \
    X(SKF_DecryptInit, (SKF_HANDLE hKey, BLOCKCIPHERPARAM DecryptParam))                                         \
    X(SKF_Decrypt, (SKF_HANDLE hKey, uint8_t* pbEncryptedData, SKF_ULONG ulEncryptedLen, uint8_t* pbData,        \
                    SKF_ULONG* pulDataLen))                                                                      \
    X(SKF_DecryptUpdate, (SKF_HANDLE hKey, uint8_t* pbEncryptedData, SKF_ULONG ulEncryptedLen, uint8_t* pbData,  \
                          SKF_ULONG* pulDataLen))                                                                \
    X(SKF_DecryptFinal, (SKF_HANDLE hKey, uint8_t* pbDecryptedData, SKF_ULONG* pulDecryptedDataLen))             \
    X(SKF_ImportSessionKey, (HCONTAINER hContainer, SKF_ULONG ulAlgId, uint8_t* pbWrapedData,                    \
                             SKF_ULONG ulWrapedLen, SKF_HANDLE* phKey))

#define SKF_DECLARE_PFN(name, params) typedef SKF_ULONG(*PFN_##name) params;
SKF_FUNCTIONS(SKF_DECLARE_PFN)
#undef SKF_DECLARE_PFN

#define SKF_COUNT_ONE(name, params) +1
constexpr int kSkfFunctionCount = 0 SKF_FUNCTIONS(SKF_COUNT_ONE);
#undef SKF_COUNT_ONE
static_assert(kSkfFunctionCount == 49, "the SKF table has 49 functions");
