#pragma once
// The bridge's table of SKF functions, resolved from one run-time loaded
// library. The pointers live in their own namespace so they never clash with
// the exported names of a library loaded into the same process.
#include "bindings/SkfApi.h"

namespace zvitskf {

#define SKF_DECLARE_POINTER(name, params) extern PFN_##name name;
SKF_FUNCTIONS(SKF_DECLARE_POINTER)
#undef SKF_DECLARE_POINTER

// One library's functions, held apart until they replace the table.
struct SkfTable {
#define SKF_TABLE_MEMBER(name, params) PFN_##name name = nullptr;
    SKF_FUNCTIONS(SKF_TABLE_MEMBER)
#undef SKF_TABLE_MEMBER
};

// Resolves every name from handle, in table order, into *table. On a missing
// name it prints "Failed load <name>" and returns false.
bool resolveTableInto(void* handle, SkfTable* table);
// Makes table the one the bridge calls through.
void commitTable(const SkfTable& table);

// Both steps at once. On a missing name the table stays as it was (never half
// of one library and half of another).
bool resolveTable(void* handle);

}  // namespace zvitskf
