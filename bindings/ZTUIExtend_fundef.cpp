#include "ZTUIExtend_fundef.h"

#include "common/PlatformApi.h"
#include "common/global_def_var.h"

#define ZTUIEX_DEFINE_POINTER(name) PFN_##name fn_##name = nullptr;
ZTUIEX_FUNCTIONS(ZTUIEX_DEFINE_POINTER)
#undef ZTUIEX_DEFINE_POINTER

HMODULE g_hModuleUIExtend = nullptr;

static void clearPointers()
{
#define ZTUIEX_CLEAR(name) fn_##name = nullptr;
    ZTUIEX_FUNCTIONS(ZTUIEX_CLEAR)
#undef ZTUIEX_CLEAR
}

BOOL16 LoadZTUIExtendLib()
{
    char path[ZT_PATH_LEN];
    if (!ztFilesPath(path, "Librarys/libZTUIExtend.so"))
        return FALSE;
    if (!g_hModuleUIExtend)
        g_hModuleUIExtend = LoadLibrary(path);
    if (!g_hModuleUIExtend)
        return FALSE;
    // A partly bound table must not look usable to a caller that ignores the result.
#define ZTUIEX_RESOLVE(name)                                                                       \
    fn_##name = reinterpret_cast<PFN_##name>(GetProcAddress(g_hModuleUIExtend, #name));           \
    if (!fn_##name) {                                                                              \
        clearPointers();                                                                           \
        return FALSE;                                                                              \
    }
    ZTUIEX_FUNCTIONS(ZTUIEX_RESOLVE)
#undef ZTUIEX_RESOLVE
    return fn_ZTUIEx_InitCtx() != 0 ? TRUE : FALSE;
}

void FreeZTUIExtendLib()
{
    if (fn_ZTUIEx_FreeCtx)
        fn_ZTUIEx_FreeCtx();
    clearPointers();
    if (g_hModuleUIExtend) {
        FreeLibrary(g_hModuleUIExtend);
        g_hModuleUIExtend = nullptr;
    }
}
