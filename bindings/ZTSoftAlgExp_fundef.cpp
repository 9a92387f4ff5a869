#include "ZTSoftAlgExp_fundef.h"

#include <dlfcn.h>

#include "common/PlatformApi.h"
#include "common/global_def_var.h"

#define ZTSOFTALG_DEFINE_POINTER(name) PFN_##name fn_##name = nullptr;
ZTSOFTALG_FUNCTIONS(ZTSOFTALG_DEFINE_POINTER)
#undef ZTSOFTALG_DEFINE_POINTER

HMODULE g_hSoftAlg = nullptr;

BOOL16 LoadZTSoftAlgLib()
{
    char path[ZT_PATH_LEN];
    if (!ztFilesPath(path, "Librarys/libZTSoftAlg.so"))
        return FALSE;
    g_hSoftAlg = LoadLibrary(path);
    if (!g_hSoftAlg)
        return FALSE;
    bool all = true;
#define ZTSOFTALG_RESOLVE(name)                                                         \
    fn_##name = reinterpret_cast<PFN_##name>(GetProcAddress(g_hSoftAlg, #name));        \
    all = all && fn_##name != nullptr;
    ZTSOFTALG_FUNCTIONS(ZTSOFTALG_RESOLVE)
#undef ZTSOFTALG_RESOLVE
    if (!fn_ZTCreateMessageDigest)
        dlerror();
    return all ? TRUE : FALSE;
}

void FreeZTSoftAlgLib()
{
    if (g_hSoftAlg)
        FreeLibrary(g_hSoftAlg);
    g_hSoftAlg = nullptr;
}
