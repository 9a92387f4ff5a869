#pragma once
// Process-wide values of both programs. Fixed inputs from outside the
// installation tree are kept in overridable buffers so tests can point them at
// their own copies; the programs never change them.
#include <cstdint>

#include "ZTCommonDef.h"

// Installation root, with its final slash (from the build configuration).
extern char g_szFilesRoot[ZT_PATH_LEN];
// Folder in which the log folder "zvittarn" lives, with its final slash.
extern char g_szLogBaseDir[ZT_PATH_LEN];
// Desktop language hint and operating-system banner.
extern char g_szOsLanguageFile[ZT_PATH_LEN];
extern char g_szOsIssueFile[ZT_PATH_LEN];

extern char g_szLanguageDirPath[ZT_PATH_LEN];
extern char g_szConfigFilePath[ZT_PATH_LEN];
extern char g_szLanguageQmFileName[ZT_PATH_LEN];
extern DWORD g_dwCachePin_P11;

// Paths below the installation root; each writes a 0-terminated path into a
// buffer of ZT_PATH_LEN bytes and returns false when it would not fit.
bool ztFilesPath(char* buffer, const char* relative);
