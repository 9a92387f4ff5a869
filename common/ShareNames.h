#pragma once
// Names of the shared-memory segments and named locks. The maker's PKCS#11
// library derives the same names from the same "CSPName" setting, so the rule
// holds byte for byte.
#include <cstddef>

#include "ZTCommonDef.h"

#define ZT_DEFAULT_CSP_NAME "Zenvit Base CSP v1.0"

DWORD simpleCSPName(char* text, size_t length);
DWORD GetP11ShmLockName(char* buffer);
DWORD GetP11ShmName(char* buffer);
DWORD GetTokenShmLockName(char* buffer);
DWORD GetTokenKenelShmName(char* buffer);
DWORD GetSessionKeyShmName(char* buffer);
