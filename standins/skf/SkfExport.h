#pragma once
// Export helpers of the SKF stand-in: every exported name must have exactly
// the type the bridge binds.
#include <type_traits>

#include "bindings/SkfApi.h"

#define SKF_EXPORT extern "C" __attribute__((visibility("default")))
#define SKF_CHECK_SIGNATURE(name) \
    static_assert(std::is_same<decltype(&name), PFN_##name>::value, #name " does not match its binding")
