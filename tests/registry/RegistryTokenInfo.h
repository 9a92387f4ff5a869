#pragma once
// A recognisable token information record for slot n, shared by the tests
// and the peer program that publishes it.
#include <cstddef>
#include <cstdint>

#include "common/ZTCommonDef.h"

inline void fillTestTokenInfo(unsigned char* info, int slot)
{
    for (size_t i = 0; i < sizeof(TokenInfo64); ++i)
        info[i] = static_cast<unsigned char>(i * 7 + static_cast<size_t>(slot) * 31 + 1);
}
