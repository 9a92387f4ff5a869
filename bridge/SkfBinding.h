#pragma once
// The bridge's table of SKF functions, resolved from one run-time loaded
// library. The pointers live in their own namespace so they never clash with
// the exported names of a library loaded into the same process.
#include "SkfApi.h"

namespace zvitskf {

#define SKF_DECLARE_POINTER(name, params) extern PFN_##name name;
SKF_FUNCTIONS(SKF_DECLARE_POINTER)
#undef SKF_DECLARE_POINTER

// Resolves every name from handle, in table order. On success the whole table
// is replaced; on a missing name it prints "Failed load <name>", leaves the
// table as it was (never half of one library and half of another) and
// returns false.
bool resolveTable(void* handle);

}  // namespace zvitskf
