#pragma once
// Only the library's API leaves the shared object.
#include <type_traits>

#include "bindings/ZTSoftAlg_api.h"

#define ZTSOFTALG_EXPORT extern "C" __attribute__((visibility("default")))

#define ZTSOFTALG_CHECK_SIGNATURE(name) \
    static_assert(std::is_same<decltype(&name), PFN_##name>::value, #name " does not match PFN_" #name)
