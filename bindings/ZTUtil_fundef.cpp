#include "ZTUtil_fundef.h"

#include <dlfcn.h>

#include "common/PlatformApi.h"
#include "common/global_def_var.h"

#define ZTUTIL_DEFINE_POINTER(name) PFN_##name name = nullptr;
ZTUTIL_FUNCTIONS(ZTUTIL_DEFINE_POINTER)
#undef ZTUTIL_DEFINE_POINTER

void* ZTUtil_GetIniStringW = nullptr;
void* ZTUtil_WriteIniStringW = nullptr;
void* ZTUtil_GetIniUIntW = nullptr;
void* ZTUtil_WriteIniUIntW = nullptr;

HMODULE g_hModuleZTUtil = nullptr;

BOOL16 LoadZTUtilLib()
{
    char path[ZT_PATH_LEN];
    if (!ztFilesPath(path, "Librarys/libZTUtil.so"))
        return FALSE;
    g_hModuleZTUtil = LoadLibrary(path);
    if (!g_hModuleZTUtil)
        return FALSE;
    bool first = true;
#define ZTUTIL_RESOLVE(name)                                                          \
    name = reinterpret_cast<PFN_##name>(GetProcAddress(g_hModuleZTUtil, #name));      \
    if (!name) {                                                                      \
        if (first)                                                                    \
            dlerror();                                                                \
        return FALSE;                                                                 \
    }                                                                                 \
    first = false;
    ZTUTIL_FUNCTIONS(ZTUTIL_RESOLVE)
#undef ZTUTIL_RESOLVE
    return TRUE;
}

void FreeZTUtilLib()
{
    if (g_hModuleZTUtil)
        FreeLibrary(g_hModuleZTUtil);
}
