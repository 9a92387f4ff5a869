#pragma once
// Binding of the maker's utility library into process-wide function pointers
// named like the functions themselves.
#include "common/ZTCommonDef.h"
#include "ZTUtil_api.h"

// Resolution order matters: the loader stops at the first missing name.
#define ZTUTIL_FUNCTIONS(X)             \
    X(ZTUtil_AnsiToUnicode)             \
    X(ZTUtil_UnicodeToAnsi)             \
    X(ZTUtil_GetIniStringA)             \
    X(ZTUtil_WriteIniStringA)           \
    X(ZTUtil_GetIniUIntA)               \
    X(ZTUtil_WriteIniUIntA)             \
    X(ZTUtil_GetIniKeyNamesA)           \
    X(ZTUtil_DebugTraceA)               \
    X(ZTUtil_SwapBytes)                 \
    X(ZTUtil_AnsiToHexA)                \
    X(ZTUtil_HexToAnsiA)                \
    X(ZTUtil_GetConfigPathA)            \
    X(ZTUtil_GetCurrentLanguagePathA)   \
    X(ZTUtil_GetDisplayTextA)           \
    X(ZTUtil_CreateGUIDA)               \
    X(ZTUtil_GetPINDegreeA)             \
    X(ZTUtil_GetCertPubKey)             \
    X(ZTUtil_CovGreenwich2UnixTime)

#define ZTUTIL_DECLARE_POINTER(name) extern PFN_##name name;
ZTUTIL_FUNCTIONS(ZTUTIL_DECLARE_POINTER)
#undef ZTUTIL_DECLARE_POINTER

// The wide-character family exists in the library but the programs never use it.
extern void* ZTUtil_GetIniStringW;
extern void* ZTUtil_WriteIniStringW;
extern void* ZTUtil_GetIniUIntW;
extern void* ZTUtil_WriteIniUIntW;

extern HMODULE g_hModuleZTUtil;

BOOL16 LoadZTUtilLib();
void FreeZTUtilLib();
