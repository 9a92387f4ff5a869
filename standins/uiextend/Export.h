#pragma once
// Only the library's API leaves the shared object.
#include <type_traits>

#include "bindings/ZTUIExtend_api.h"

#define ZTUIEX_EXPORT extern "C" __attribute__((visibility("default")))

// Each export must keep the exact type the binding resolves it as.
#define ZTUIEX_CHECK_SIGNATURE(name) \
    static_assert(std::is_same<decltype(&name), PFN_##name>::value, #name " does not match PFN_" #name)
