#pragma once
// The dialogs rate a new PIN with the rule the utility library and the manager
// apply, so the strength shown is the one the rest of the product enforces.
#include <cstdint>
#include <string>

#include "common/pindegree/PinDegree.h"

namespace uiex {

constexpr uint32_t kPinWeak = kZTPinWeak;
constexpr uint32_t kPinMedium = kZTPinMedium;
constexpr uint32_t kPinStrong = kZTPinStrong;

inline uint32_t pinDegree(const std::string& pin)
{
    return ztPinDegree(pin.c_str());
}

}  // namespace uiex
