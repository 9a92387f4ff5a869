#pragma once
// Only the library's API leaves the shared object.
#include <type_traits>

#include "bindings/ZTUtil_api.h"

#define ZTUTIL_EXPORT extern "C" __attribute__((visibility("default")))

// Each export must keep the exact type the binding resolves it as.
#define ZTUTIL_CHECK_SIGNATURE(name) \
    static_assert(std::is_same<decltype(&name), PFN_##name>::value, #name " does not match PFN_" #name)
