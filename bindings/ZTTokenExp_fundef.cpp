#include "ZTTokenExp_fundef.h"

#include <dlfcn.h>

#include "common/PlatformApi.h"
#include "common/ZTLog.h"
#include "common/global_def_var.h"

#define ZTTOKEN_DEFINE_POINTER(name, required) PFN_##name name = nullptr;
ZTTOKEN_FUNCTIONS(ZTTOKEN_DEFINE_POINTER)
#undef ZTTOKEN_DEFINE_POINTER
#define ZTTOKEN_DEFINE_PFN(name) PFN_##name& pfn_##name = name;
ZTTOKEN_PFN_NAMES(ZTTOKEN_DEFINE_PFN)
#undef ZTTOKEN_DEFINE_PFN

HMODULE g_hToken = nullptr;

namespace {

void clearPointers()
{
#define ZTTOKEN_CLEAR(name, required) name = nullptr;
    ZTTOKEN_FUNCTIONS(ZTTOKEN_CLEAR)
#undef ZTTOKEN_CLEAR
}

// A half-bound table must not be used: callers test single pointers.
BOOL16 giveUp()
{
    clearPointers();
    if (g_hToken)
        FreeLibrary(g_hToken);
    g_hToken = nullptr;
    return FALSE;
}

}  // namespace

BOOL16 LoadZTTokenLib(uint32_t callerKind)
{
    if (g_hToken)
        FreeZTTokenLib();
    char szPath[ZT_PATH_LEN];
    if (!ztFilesPath(szPath, "Librarys/libZTTokenKernel.so"))
        return FALSE;
    g_hToken = LoadLibrary(szPath);
    if (!g_hToken) {
        ZTLog::WriteLog(ZT_LOG_FAILURE, "ZTTokenExp_fundef", __LINE__, "LoadLibrary(szPath) Failed!");
        return FALSE;
    }
#define ZTTOKEN_RESOLVE(name, required)                                        \
    name = reinterpret_cast<PFN_##name>(GetProcAddress(g_hToken, #name));      \
    if (!name && (required))                                                   \
        return giveUp();
    ZTTOKEN_FUNCTIONS(ZTTOKEN_RESOLVE)
#undef ZTTOKEN_RESOLVE
    dlerror();  // an optional name may have left an error behind
    if (InitZTToken(callerKind) != 0)
        return giveUp();
    return TRUE;
}

void FreeZTTokenLib()
{
    if (FreeZTToken)
        FreeZTToken();
    clearPointers();
    if (g_hToken)
        FreeLibrary(g_hToken);
    g_hToken = nullptr;
}
