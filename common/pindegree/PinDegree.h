#pragma once
// PIN strength as the manager's own check rates it; both must agree or a PIN
// accepted in one place is refused in the other.
#include <cstdint>

constexpr uint32_t kZTPinWeak = 0xFF00u;
constexpr uint32_t kZTPinMedium = 0xFF01u;
constexpr uint32_t kZTPinStrong = 0xFF02u;

// Strong: 8 characters with upper case, lower case and digits; medium: 8
// characters with digits and one letter case; weak otherwise (or null).
uint32_t ztPinDegree(const char* pin);
