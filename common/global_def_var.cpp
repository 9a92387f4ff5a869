#include "global_def_var.h"

#include <cstdio>

#include "KeyEvent.h"
#include "zvit_build_config.h"

char g_szFilesRoot[ZT_PATH_LEN] = ZVIT_FILES_ROOT;
char g_szLogBaseDir[ZT_PATH_LEN] = "/tmp/";
char g_szOsLanguageFile[ZT_PATH_LEN] = "/tmp/.language";
char g_szOsIssueFile[ZT_PATH_LEN] = "/etc/issue";

char g_szLanguageDirPath[ZT_PATH_LEN] = {0};
char g_szConfigFilePath[ZT_PATH_LEN] = {0};
char g_szLanguageQmFileName[ZT_PATH_LEN] = {0};
DWORD g_dwCachePin_P11 = 1;

const uint64_t g_nPostions_init = ZT_KEY_EVENT_INIT;
const uint64_t g_nPostions_add = ZT_KEY_EVENT_ADDED;
const uint64_t g_nPostions_del = ZT_KEY_EVENT_REMOVED;

bool ztFilesPath(char* buffer, const char* relative)
{
    if (!buffer || !relative)
        return false;
    int n = snprintf(buffer, ZT_PATH_LEN, "%s%s", g_szFilesRoot, relative);
    if (n < 0 || n >= ZT_PATH_LEN) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}
