#pragma once
// Binding of the maker's UI extension library into process-wide pointers named
// fn_ followed by the function name.
#include "common/ZTCommonDef.h"
#include "ZTUIExtend_api.h"

// Resolution order; every name is required.
#define ZTUIEX_FUNCTIONS(X)                 \
    X(ZTUIEx_InitCtx)                       \
    X(ZTUIEx_FreeCtx)                       \
    X(ZTUIEx_SetSignatureVerificationFlag)  \
    X(ZTUIEx_VerifyPin)                     \
    X(ZTUIEx_ChangePin)                     \
    X(ZTUIEx_SetPin)                        \
    X(ZTUIEx_UnlockPin)                     \
    X(ZTUIEx_SelectDevice)                  \
    X(ZTUIEx_ChangeDevName)                 \
    X(ZTUIEx_GenKeyPair)                    \
    X(ZTUIEx_ShowDevInfo)                   \
    X(ZTUIEx_InitTokenWithDefConfig)        \
    X(ZTUIEx_InitToken)                     \
    X(ZTUIEx_InitTokenWithPin)              \
    X(ZTUIEx_TransDataSign)                 \
    X(ZTUIEx_SuperInitToken)                \
    X(ZTUIEx_ParseTransData)                \
    X(ZTUIEx_SetSysLangPath)                \
    X(ZTUIEx_MessageBox)                    \
    X(ZTUIEx_OverRideContainer)             \
    X(ZTUIEx_ChangePinForCSPKCS)            \
    X(ZTUIEx_VerifyPinForCSPKCS)            \
    X(ZTUIEx_SetParentHwnd)                 \
    X(ZTUIEx_ImportCert)                    \
    X(ZTUIEx_EraseKeyPairs)                 \
    X(ZTUIEx_SetSignalFlag)

#define ZTUIEX_DECLARE_POINTER(name) extern PFN_##name fn_##name;
ZTUIEX_FUNCTIONS(ZTUIEX_DECLARE_POINTER)
#undef ZTUIEX_DECLARE_POINTER

extern HMODULE g_hModuleUIExtend;

// Opens Librarys/libZTUIExtend.so, resolves all 26 names and calls
// ZTUIEx_InitCtx; TRUE only when that reports ready.
BOOL16 LoadZTUIExtendLib();
// ZTUIEx_FreeCtx, then closes the library; the pointers are cleared.
void FreeZTUIExtendLib();
