#include "ShareNames.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

#include "SystemConfig.h"
#include "bindings/ZTUtil_fundef.h"
#include "global_def_var.h"

DWORD simpleCSPName(char* text, size_t length)
{
    if (!text)
        return ZT_ERR_INVALID_ARG;
    char* work = new (std::nothrow) char[length + 1];
    if (!work)
        return ZT_ERR_NO_MEMORY;
    size_t out = 0;
    for (size_t i = 0; i < length && text[i]; ++i) {
        char c = text[i];
        if (c == ' ' || c == '.')
            continue;
        work[out++] = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    memcpy(text, work, out);
    memset(text + out, 0, length - out);
    delete[] work;
    return 0;
}

namespace {

DWORD buildName(char* buffer, const char* suffix)
{
    if (!buffer)
        return ZT_ERR_INVALID_ARG;
    if (!ZTUtil_GetIniStringA)
        return ZT_ERR_LOAD_LIBRARY;
    char configPath[ZT_PATH_LEN];
    if (!ztFilesPath(configPath, ZT_CONFIG_FILE))
        return ZT_ERR_INVALID_ARG;
    char csp[ZT_PATH_LEN] = {0};
    size_t size = sizeof(csp);
    DWORD rv = ZTUtil_GetIniStringA("ZTTokenInfo", "CSPName", ZT_DEFAULT_CSP_NAME, csp, &size, configPath);
    if (rv != 0)
        return rv;
    csp[sizeof(csp) - 1] = '\0';
    rv = simpleCSPName(csp, strlen(csp));
    if (rv != 0)
        return rv;
    // The simplified name is at most 259 bytes; the suffix may not fit after a
    // very long one, which is an error rather than a silently different name.
    int n = snprintf(buffer, ZT_PATH_LEN, "%s%s", csp, suffix);
    if (n < 0 || n >= ZT_PATH_LEN)
        return ZT_ERR_INVALID_ARG;
    return 0;
}

}  // namespace

DWORD GetP11ShmLockName(char* buffer)
{
    return buildName(buffer, "P11SHMLOCK");
}

DWORD GetP11ShmName(char* buffer)
{
    return buildName(buffer, "P11X64");
}

DWORD GetTokenShmLockName(char* buffer)
{
    return buildName(buffer, "TKSHMLOCK");
}

DWORD GetTokenKenelShmName(char* buffer)
{
    return buildName(buffer, "CSPX64");
}

DWORD GetSessionKeyShmName(char* buffer)
{
    return buildName(buffer, "CSPX64");
}
