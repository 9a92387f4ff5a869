// Functions the programs only resolve. Each refuses with a code of its own so a
// log line tells which one was called.
#include "Export.h"

ZTUIEX_EXPORT uint32_t ZTUIEx_SetSignatureVerificationFlag(uint32_t)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(3);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_SetSignatureVerificationFlag);

ZTUIEX_EXPORT uint32_t ZTUIEx_UnlockPin(void*, uint32_t)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(7);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_UnlockPin);

ZTUIEX_EXPORT uint32_t ZTUIEx_SelectDevice(char*, size_t*)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(8);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_SelectDevice);

ZTUIEX_EXPORT uint32_t ZTUIEx_ChangeDevName(void*)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(9);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_ChangeDevName);

ZTUIEX_EXPORT uint32_t ZTUIEx_GenKeyPair(void*, const char*, uint32_t)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(10);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_GenKeyPair);

ZTUIEX_EXPORT uint32_t ZTUIEx_ShowDevInfo(void*)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(11);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_ShowDevInfo);

ZTUIEX_EXPORT uint32_t ZTUIEx_InitToken(void*, const void*, size_t)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(13);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_InitToken);

ZTUIEX_EXPORT uint32_t ZTUIEx_InitTokenWithPin(void*, const char*, uint32_t)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(14);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_InitTokenWithPin);

ZTUIEX_EXPORT uint32_t ZTUIEx_TransDataSign(void*, const uint8_t*, size_t, uint8_t*, size_t*)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(15);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_TransDataSign);

ZTUIEX_EXPORT uint32_t ZTUIEx_SuperInitToken(void*)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(16);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_SuperInitToken);

ZTUIEX_EXPORT uint32_t ZTUIEx_ParseTransData(const uint8_t*, size_t, char*, size_t*)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(17);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_ParseTransData);

ZTUIEX_EXPORT uint32_t ZTUIEx_OverRideContainer(void*, const char*)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(20);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_OverRideContainer);

ZTUIEX_EXPORT uint32_t ZTUIEx_ChangePinForCSPKCS(void*, uint32_t, const char*, const char*)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(21);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_ChangePinForCSPKCS);

ZTUIEX_EXPORT uint32_t ZTUIEx_VerifyPinForCSPKCS(void*, uint32_t, char*, size_t*)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(22);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_VerifyPinForCSPKCS);

ZTUIEX_EXPORT uint32_t ZTUIEx_ImportCert(void*, const char*, const uint8_t*, size_t, uint32_t)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(24);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_ImportCert);

ZTUIEX_EXPORT uint32_t ZTUIEx_EraseKeyPairs(void*)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(25);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_EraseKeyPairs);

// Left out of a test copy of the library, to see the loader refuse it.
#ifndef ZTUIEX_TEST_OMIT_LAST_EXPORT
ZTUIEX_EXPORT uint32_t ZTUIEx_SetSignalFlag(uint32_t)
{
    return ZTUIEX_ERR_NOT_SUPPORTED(26);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_SetSignalFlag);
#endif
