#include "SkfBinding.h"

#include <cstdio>
#include <dlfcn.h>

namespace zvitskf {

#define SKF_DEFINE_POINTER(name, params) PFN_##name name = nullptr;
SKF_FUNCTIONS(SKF_DEFINE_POINTER)
#undef SKF_DEFINE_POINTER

namespace {

struct Table {
#define SKF_TABLE_MEMBER(name, params) PFN_##name name = nullptr;
    SKF_FUNCTIONS(SKF_TABLE_MEMBER)
#undef SKF_TABLE_MEMBER
};

}  // namespace

bool resolveTable(void* handle)
{
    if (!handle)
        return false;
    Table next;
#define SKF_RESOLVE(name, params)                                             \
    next.name = reinterpret_cast<PFN_##name>(dlsym(handle, #name));           \
    if (!next.name) {                                                         \
        printf("Failed load %s\n", #name);                                    \
        fflush(stdout);                                                       \
        return false;                                                         \
    }
    SKF_FUNCTIONS(SKF_RESOLVE)
#undef SKF_RESOLVE
#define SKF_COMMIT(name, params) name = next.name;
    SKF_FUNCTIONS(SKF_COMMIT)
#undef SKF_COMMIT
    return true;
}

}  // namespace zvitskf
