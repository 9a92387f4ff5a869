// Functions the stand-in does not implement: each answers "not supported",
// never success, so a caller can never mistake them for done work.
#include "SkfExport.h"

#define SKF_UNSUPPORTED(name, params)                        \
    SKF_EXPORT SKF_ULONG name params { return SAR_NOTSUPPORTYETERR; } \
    SKF_CHECK_SIGNATURE(name);

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
SKF_UNSUPPORTED(SKF_CreateContainer, (HAPPLICATION hApplication, const char* szContainerName, HCONTAINER* phContainer))
SKF_UNSUPPORTED(SKF_DeleteContainer, (HAPPLICATION hApplication, const char* szContainerName))
SKF_UNSUPPORTED(SKF_CreateFile, (HAPPLICATION hApplication, const char* szFileName, SKF_ULONG ulFileSize,
                                 SKF_ULONG ulReadRights, SKF_ULONG ulWriteRights))
SKF_UNSUPPORTED(SKF_DeleteFile, (HAPPLICATION hApplication, const char* szFileName))
SKF_UNSUPPORTED(SKF_EnumFiles, (HAPPLICATION hApplication, char* szFileList, SKF_ULONG* pulSize))
SKF_UNSUPPORTED(SKF_GetFileInfo, (HAPPLICATION hApplication, const char* szFileName, void* pFileInfo))
SKF_UNSUPPORTED(SKF_ReadFile, (HAPPLICATION hApplication, const char* szFileName, SKF_ULONG ulOffset,
                               SKF_ULONG ulSize, uint8_t* pbOutData, SKF_ULONG* pulOutLen))
SKF_UNSUPPORTED(SKF_WriteFile, (HAPPLICATION hApplication, const char* szFileName, SKF_ULONG ulOffset,
                                uint8_t* pbData, SKF_ULONG ulSize))
SKF_UNSUPPORTED(SKF_GenRSAKeyPair, (HCONTAINER hContainer, SKF_ULONG ulBitsLen, void* pBlob))
SKF_UNSUPPORTED(SKF_GenECCKeyPair, (HCONTAINER hContainer, SKF_ULONG ulAlgId, void* pBlob))
SKF_UNSUPPORTED(SKF_ImportCertificate, (HCONTAINER hContainer, SKF_BOOL bSignFlag, uint8_t* pbCert,
                                        SKF_ULONG ulCertLen))
SKF_UNSUPPORTED(SKF_RSASignData, (HCONTAINER hContainer, uint8_t* pbData, SKF_ULONG ulDataLen,
                                  uint8_t* pbSignature, SKF_ULONG* pulSignLen))
SKF_UNSUPPORTED(SKF_ECCSignData, (HCONTAINER hContainer, uint8_t* pbData, SKF_ULONG ulDataLen, void* pSignature))
SKF_UNSUPPORTED(SKF_ECCVerify, (DEVHANDLE hDev, void* pECCPubKeyBlob, uint8_t* pbData, SKF_ULONG ulDataLen,
                                void* pSignature))
SKF_UNSUPPORTED(SKF_ExportPublicKey, (HCONTAINER hContainer, SKF_BOOL bSignFlag, uint8_t* pbBlob,
                                      SKF_ULONG* pulBlobLen))
SKF_UNSUPPORTED(SKF_DigestInit, (DEVHANDLE hDev, SKF_ULONG ulAlgID, void* pPubKey, uint8_t* pucID,
                                 SKF_ULONG ulIDLen, SKF_HANDLE* phHash))
SKF_UNSUPPORTED(SKF_DigestUpdate, (SKF_HANDLE hHash, uint8_t* pbData, SKF_ULONG ulDataLen))
SKF_UNSUPPORTED(SKF_DigestFinal, (SKF_HANDLE hHash, uint8_t* pHashData, SKF_ULONG* pulHashLen))
SKF_UNSUPPORTED(SKF_Digest, (SKF_HANDLE hHash, uint8_t* pbData, SKF_ULONG ulDataLen, uint8_t* pbHashData,
                             SKF_ULONG* pulHashLen))
#ifndef SKF_STANDIN_TEST_OMIT_ONE
SKF_UNSUPPORTED(SKF_RSADigestSignData, (HCONTAINER hContainer, SKF_ULONG ulHashAlgId, uint8_t* pbData,
                                        SKF_ULONG ulDataLen, uint8_t* pbSignature, SKF_ULONG* pulSignLen))
#endif
SKF_UNSUPPORTED(SKF_ECCDigestSignData, (HCONTAINER hContainer, uint8_t* pbData, SKF_ULONG ulDataLen,
                                        void* pSignature))
SKF_UNSUPPORTED(SKF_ECCSignDataEx, (HCONTAINER hContainer, uint8_t* pbData, SKF_ULONG ulDataLen,
                                    uint8_t* pbSignature, SKF_ULONG* pulSignLen))
SKF_UNSUPPORTED(SKF_GenRandom, (DEVHANDLE hDev, uint8_t* pbRandom, SKF_ULONG ulRandomLen))
SKF_UNSUPPORTED(SKF_SetSymmKey, (DEVHANDLE hDev, uint8_t* pbKey, SKF_ULONG ulAlgID, SKF_HANDLE* phKey))
SKF_UNSUPPORTED(SKF_EncryptInit, (SKF_HANDLE hKey, BLOCKCIPHERPARAM EncryptParam))
SKF_UNSUPPORTED(SKF_Encrypt, (SKF_HANDLE hKey, uint8_t* pbData, SKF_ULONG ulDataLen, uint8_t* pbEncryptedData,
                              SKF_ULONG* pulEncryptedLen))
SKF_UNSUPPORTED(SKF_EncryptUpdate, (SKF_HANDLE hKey, uint8_t* pbData, SKF_ULONG ulDataLen,
                                    uint8_t* pbEncryptedData, SKF_ULONG* pulEncryptedLen))
SKF_UNSUPPORTED(SKF_EncryptFinal, (SKF_HANDLE hKey, uint8_t* pbEncryptedData, SKF_ULONG* pulEncryptedDataLen))
SKF_UNSUPPORTED(SKF_DecryptInit, (SKF_HANDLE hKey, BLOCKCIPHERPARAM DecryptParam))
SKF_UNSUPPORTED(SKF_Decrypt, (SKF_HANDLE hKey, uint8_t* pbEncryptedData, SKF_ULONG ulEncryptedLen,
                              uint8_t* pbData, SKF_ULONG* pulDataLen))
SKF_UNSUPPORTED(SKF_DecryptUpdate, (SKF_HANDLE hKey, uint8_t* pbEncryptedData, SKF_ULONG ulEncryptedLen,
                                    uint8_t* pbData, SKF_ULONG* pulDataLen))
SKF_UNSUPPORTED(SKF_DecryptFinal, (SKF_HANDLE hKey, uint8_t* pbDecryptedData, SKF_ULONG* pulDecryptedDataLen))
SKF_UNSUPPORTED(SKF_ImportSessionKey, (HCONTAINER hContainer, SKF_ULONG ulAlgId, uint8_t* pbWrapedData,
                                       SKF_ULONG ulWrapedLen, SKF_HANDLE* phKey))
#pragma GCC diagnostic pop
