#pragma once
// The one PIN-strength rule. The utility library exports it and the programs
// check PINs with it: a PIN accepted in one place must not be refused in the
// other. Header-only and free of Qt, so every build that compiles common/ or
// the stand-ins gets it without another source to list.
#include <cstdint>
#include <cstring>

constexpr uint32_t kZTPinWeak = 0xFF00u;
constexpr uint32_t kZTPinMedium = 0xFF01u;
constexpr uint32_t kZTPinStrong = 0xFF02u;

// Strong: 8 characters with upper case, lower case and digits; medium: 8
// characters with digits and one letter case; weak otherwise (or null).
inline uint32_t ztPinDegree(const char* pin)
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
