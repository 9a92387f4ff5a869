#pragma once
// The programs' name for the one PIN-strength rule the stand-ins share.
#include "ZTCommonDef.h"

#define ZT_PIN_DEGREE_WEAK 0xFF00u
#define ZT_PIN_DEGREE_MEDIUM 0xFF01u
#define ZT_PIN_DEGREE_STRONG 0xFF02u

DWORD GetPinDegree(const char* pin);
