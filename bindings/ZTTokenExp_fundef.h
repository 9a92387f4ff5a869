#pragma once
// Binding of the maker's token library into process-wide function pointers
// named like the functions. Thirteen of them (the PIN and label family) are
// also known with the prefix pfn_: that name is a reference to the same
// pointer, so either spelling calls the library.
#include "common/ZTCommonDef.h"
#include "ZTToken_api.h"

#define ZTTOKEN_PFN_NAMES(X)           \
    X(ZTToken_GetPinInfo)              \
    X(ZTToken_GetTokenLabel)           \
    X(ZTToken_SetTokenLabel)           \
    X(ZTToken_VerifyPin)               \
    X(ZTToken_ChangePin)               \
    X(ZTToken_UnlockPin)               \
    X(ZTToken_GetPinRetryNum)          \
    X(ZTToken_GetPinStatus)            \
    X(ZTToken_SetPinStatus)            \
    X(ZTToken_InitTokenPin)            \
    X(ZTToken_CheckPinLockOrUnChange)  \
    X(ZTToken_ReadShmPin)              \
    X(ZTToken_WriteShmPin)

#define ZTTOKEN_DECLARE_POINTER(name, required) extern PFN_##name name;
ZTTOKEN_FUNCTIONS(ZTTOKEN_DECLARE_POINTER)
#undef ZTTOKEN_DECLARE_POINTER
#define ZTTOKEN_DECLARE_PFN(name) extern PFN_##name& pfn_##name;
ZTTOKEN_PFN_NAMES(ZTTOKEN_DECLARE_PFN)
#undef ZTTOKEN_DECLARE_PFN

extern HMODULE g_hToken;

// callerKind: ZTTOKEN_CALLER_DAEMON (1) or ZTTOKEN_CALLER_MANAGER (2). True when
// the library loaded, every required name resolved and InitZTToken returned 0.
// On failure every pointer is null again and the library is closed.
BOOL16 LoadZTTokenLib(uint32_t callerKind);
// FreeZTToken, then closes the library; harmless when nothing is loaded.
void FreeZTTokenLib();
