// Names of the token library that the software token does not implement.
// Each returns ZTTOKEN_ERR_NOT_SUPPORTED, never success.
#include <type_traits>

#include "TokenState.h"

ZTTK_EXPORT uint32_t ZTToken_GetProviderName(char*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GetProviderName);

ZTTK_EXPORT uint32_t ZTToken_CreateContainer(void*, const char*, uint32_t, void**)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_CreateContainer);

ZTTK_EXPORT uint32_t ZTToken_DeleteContainerByHandle(void*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_DeleteContainerByHandle);

ZTTK_EXPORT uint32_t ZTToken_DeleteContainerByName(void*, const char*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_DeleteContainerByName);

ZTTK_EXPORT uint32_t ZTToken_UpdateContainer(void*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_UpdateContainer);

ZTTK_EXPORT uint32_t ZTToken_SetContainerAttr(void*, uint32_t, const void*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_SetContainerAttr);

ZTTK_EXPORT uint32_t ZTToken_IsSupportDev(uint32_t, uint32_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_IsSupportDev);

ZTTK_EXPORT uint32_t ZTToken_ResetDevice(void*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_ResetDevice);

ZTTK_EXPORT uint32_t ZTToken_AddDevice(const char*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_AddDevice);

ZTTK_EXPORT uint32_t ZTToken_RemoveDevice(const char*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_RemoveDevice);

ZTTK_EXPORT uint32_t ZTToken_GenRandom(void*, uint8_t*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GenRandom);

ZTTK_EXPORT uint32_t ZTToken_GenSessionKey(void*, uint32_t, void**)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GenSessionKey);

ZTTK_EXPORT uint32_t ZTToken_GenAsymKey(void*, uint32_t, uint32_t, void**)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GenAsymKey);

ZTTK_EXPORT uint32_t ZTToken_CloseKey(void*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_CloseKey);

ZTTK_EXPORT uint32_t ZTToken_GetKeyAttr(void*, uint32_t, void*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GetKeyAttr);

ZTTK_EXPORT uint32_t ZTToken_SetKeyAttr(void*, uint32_t, const void*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_SetKeyAttr);

ZTTK_EXPORT uint32_t ZTToken_CreateHashObject(void*, uint32_t, void**)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_CreateHashObject);

ZTTK_EXPORT uint32_t ZTToken_HashUpdate(void*, const uint8_t*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_HashUpdate);

ZTTK_EXPORT uint32_t ZTToken_HashFinal(void*, uint8_t*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_HashFinal);

ZTTK_EXPORT uint32_t ZTToken_MessageDigest(void*, uint32_t, const uint8_t*, uint64_t, uint8_t*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_MessageDigest);

ZTTK_EXPORT uint32_t ZTToken_GetSM3DigestZA(const uint8_t*, uint64_t, const uint8_t*, uint64_t, uint8_t*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GetSM3DigestZA);

ZTTK_EXPORT uint32_t ZTToken_Encrypt(void*, const uint8_t*, uint64_t, uint8_t*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_Encrypt);

ZTTK_EXPORT uint32_t ZTToken_Decrypt(void*, const uint8_t*, uint64_t, uint8_t*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_Decrypt);

ZTTK_EXPORT uint32_t ZTToken_SignHash(void*, uint32_t, const uint8_t*, uint64_t, uint8_t*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_SignHash);

ZTTK_EXPORT uint32_t ZTToken_VerifyHash(void*, uint32_t, const uint8_t*, uint64_t, const uint8_t*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_VerifyHash);

ZTTK_EXPORT uint32_t ZTToken_ImportKey(void*, uint32_t, const uint8_t*, uint64_t, void**)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_ImportKey);

ZTTK_EXPORT uint32_t ZTToken_NegotiateTransaction(void*, const uint8_t*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_NegotiateTransaction);

ZTTK_EXPORT uint32_t ZTToken_SignTransaction(void*, const uint8_t*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_SignTransaction);

ZTTK_EXPORT uint32_t ZTToken_GetTranSignature(void*, uint8_t*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GetTranSignature);

ZTTK_EXPORT uint32_t ZTToken_CancelTransaction(void*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_CancelTransaction);

ZTTK_EXPORT uint32_t ZTToken_DeleteKeyPair(void*, uint32_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_DeleteKeyPair);

ZTTK_EXPORT uint32_t ZTToken_DeleteUserCert(void*, uint32_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_DeleteUserCert);

ZTTK_EXPORT uint32_t ZTToken_RegUserCert(void*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_RegUserCert);

ZTTK_EXPORT uint32_t ZTToken_RegCertToStore(const uint8_t*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_RegCertToStore);

ZTTK_EXPORT uint32_t ZTToken_UnRegUserCert(void*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_UnRegUserCert);

ZTTK_EXPORT uint32_t ZTToken_IsSignSelf(const uint8_t*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_IsSignSelf);

ZTTK_EXPORT uint32_t ZTToken_ReadMemCert(uint64_t, uint8_t*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_ReadMemCert);

ZTTK_EXPORT uint32_t ZTToken_DestoryObject(void*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_DestoryObject);

ZTTK_EXPORT uint32_t ZTToken_DuplicateObject(void*, void**)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_DuplicateObject);

ZTTK_EXPORT uint32_t ZTToken_IsMeetSecurityStatus(void*, uint32_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_IsMeetSecurityStatus);

ZTTK_EXPORT uint32_t ZTToken_ExternalAuth(void*, const uint8_t*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_ExternalAuth);

ZTTK_EXPORT uint32_t ZTToken_GetPinStatus(void*, uint32_t, uint32_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GetPinStatus);

ZTTK_EXPORT uint32_t ZTToken_SetTokenDisplayLang(void*, uint32_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_SetTokenDisplayLang);

ZTTK_EXPORT uint32_t ZTToken_IsTranHashMeth(uint32_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_IsTranHashMeth);

ZTTK_EXPORT uint32_t ZTToken_IsTranHashMethByHandle(void*, uint32_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_IsTranHashMethByHandle);

ZTTK_EXPORT uint32_t ZTToken_InitToken(void*, const char*, const char*, const char*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_InitToken);

ZTTK_EXPORT uint32_t ZTToken_DeleteADF(void*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_DeleteADF);

ZTTK_EXPORT uint32_t ZTToken_InitTokenEx(void*, const void*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_InitTokenEx);

ZTTK_EXPORT uint32_t ZTToken_GetDevicePressStatus(void*, uint32_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GetDevicePressStatus);

ZTTK_EXPORT uint32_t ZTToken_GetDeviceSerialNumber(void*, char*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GetDeviceSerialNumber);

ZTTK_EXPORT uint32_t ZTToken_GetCOSInfo(void*, void*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GetCOSInfo);

ZTTK_EXPORT uint32_t ZTToken_SetPinStatus(void*, uint32_t, uint32_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_SetPinStatus);

ZTTK_EXPORT uint32_t ZTToken_ReadShmPin(void*, char*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_ReadShmPin);

ZTTK_EXPORT uint32_t ZTToken_WriteShmPin(void*, const char*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_WriteShmPin);

ZTTK_EXPORT uint32_t ZTToken_SCSISvr(void*, const uint8_t*, uint64_t, uint8_t*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_SCSISvr);

ZTTK_EXPORT uint32_t ZTToken_RegCACert(const uint8_t*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_RegCACert);

ZTTK_EXPORT uint32_t ZTToken_ReadBinFile(void*, const char*, uint64_t, uint8_t*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_ReadBinFile);

ZTTK_EXPORT uint32_t ZTToken_WriteBinFile(void*, const char*, uint64_t, const uint8_t*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_WriteBinFile);

ZTTK_EXPORT uint32_t ZTToken_GetDeviceChannelType(void*, uint32_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GetDeviceChannelType);

ZTTK_EXPORT uint32_t ZTToken_GetPKCSObjectInfo(void*, void*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GetPKCSObjectInfo);

ZTTK_EXPORT uint32_t ZTToken_SetPKCSObjectInfo(void*, const void*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_SetPKCSObjectInfo);

ZTTK_EXPORT uint32_t ZTToken_GetAccelerate(void*, uint32_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GetAccelerate);

ZTTK_EXPORT uint32_t ZTToken_SetAccelerate(void*, uint32_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_SetAccelerate);

ZTTK_EXPORT uint32_t ZTToken_InitTokenPin(void*, const char*, const char*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_InitTokenPin);

ZTTK_EXPORT uint32_t ZTToken_InitTokenOther(void*, const void*, uint64_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_InitTokenOther);

ZTTK_EXPORT uint32_t ZTToken_TransactionEnd(void*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_TransactionEnd);

ZTTK_EXPORT uint32_t ZTToken_CheckPinLockOrUnChange(void*, uint32_t)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_CheckPinLockOrUnChange);

ZTTK_EXPORT uint32_t ZTToken_GetBirthID(void*, uint8_t*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GetBirthID);

ZTTK_EXPORT uint32_t ZTToken_BirthIDSignHash(void*, const uint8_t*, uint64_t, uint8_t*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_BirthIDSignHash);

ZTTK_EXPORT uint32_t ZTToken_TransmitAPDU(void*, const uint8_t*, uint64_t, uint8_t*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_TransmitAPDU);

#ifndef ZTTK_LEAVE_OUT_GETPROGRAMID  // the loader test builds a copy without it
ZTTK_EXPORT uint32_t ZTToken_GetProgramID(char*, uint64_t*)
{
    return ZTTOKEN_ERR_NOT_SUPPORTED;
}
ZTTK_CHECK(ZTToken_GetProgramID);
#endif
