#include "SkfBinding.h"

#include <cstdio>
#include <dlfcn.h>

namespace zvitskf {

#define SKF_DEFINE_POINTER(name, params) PFN_##name name = nullptr;
SKF_FUNCTIONS(SKF_DEFINE_POINTER)
#undef SKF_DEFINE_POINTER

bool resolveTableInto(void* handle, SkfTable* table)
{
    if (!handle || !table)
        return false;
    SkfTable next;
#define SKF_RESOLVE(name, params)                                             \
    next.name = reinterpret_cast<PFN_##name>(dlsym(handle, #name));           \
    if (!next.name) {                                                         \
        printf("Failed load %s\n", #name);                                    \
        fflush(stdout);                                                       \
        return false;                                                         \
    }
    SKF_FUNCTIONS(SKF_RESOLVE)
#undef SKF_RESOLVE
    *table = next;
    return true;
}

void commitTable(const SkfTable& table)
{
#define SKF_COMMIT(name, params) name = table.name;
    SKF_FUNCTIONS(SKF_COMMIT)
#undef SKF_COMMIT
}

bool resolveTable(void* handle)
{
    SkfTable next;
    if (!resolveTableInto(handle, &next))
        return false;
    commitTable(next);
    return true;
}

}  // namespace zvitskf
