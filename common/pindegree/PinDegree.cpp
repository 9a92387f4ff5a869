#include "PinDegree.h"

#include <cstring>

uint32_t ztPinDegree(const char* pin)
{
    if (!pin || strlen(pin) != 8)
        return kZTPinWeak;
    bool upper = false, lower = false, digit = false;
    for (const char* p = pin; *p; ++p) {
        if (*p >= 'A' && *p <= 'Z')
            upper = true;
        else if (*p >= 'a' && *p <= 'z')
            lower = true;
        else if (*p >= '0' && *p <= '9')
            digit = true;
    }
    if (upper && lower && digit)
        return kZTPinStrong;
    if (digit && upper != lower)
        return kZTPinMedium;
    return kZTPinWeak;
}
