#pragma once
// Token information between the 32- and 64-bit layouts, and label padding.
#include "ZTCommonDef.h"

// Trailing blanks cut; trailing zero pairs turned into blanks, as the token
// library pads labels.
char* formatLabelName(char* label, int size);
DWORD tokenInfoConvert32to64(const TokenInfo32* in, TokenInfo64* out);
DWORD tokenInfoConvert64to32(const TokenInfo64* in, TokenInfo32* out);
