#pragma once
// The product's PIN degree rule, the same the utility library and the manager
// apply: 8 characters with capitals, small letters and digits are strong; 8
// characters with digits and one letter case are medium; anything else weak.
#include <cstdint>
#include <string>

namespace uiex {

constexpr uint32_t kPinWeak = 0xFF00u;
constexpr uint32_t kPinMedium = 0xFF01u;
constexpr uint32_t kPinStrong = 0xFF02u;

uint32_t pinDegree(const std::string& pin);

}  // namespace uiex
