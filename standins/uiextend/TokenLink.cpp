#include "TokenLink.h"

#include <cstring>
#include <dlfcn.h>
#include <link.h>

#include "StandinRoot.h"
#include "bindings/ZTToken_api.h"
#include "bindings/ZTUIExtend_api.h"

namespace uiex {
namespace {

const char kTokenLibrary[] = "libZTTokenKernel.so";

int findLoaded(struct dl_phdr_info* info, size_t, void* data)
{
    const char* name = info->dlpi_name;
    if (!name || !*name)
        return 0;
    const char* base = strrchr(name, '/');
    base = base ? base + 1 : name;
    if (strcmp(base, kTokenLibrary) != 0)
        return 0;
    *static_cast<std::string*>(data) = name;
    return 1;
}

// A handle of the already loaded library, never a second copy: a second copy
// would not know the caller's handles.
void* loadedTokenLibrary()
{
    std::string installed = ztStandinRoot() + "Librarys/" + kTokenLibrary;
    if (void* handle = dlopen(installed.c_str(), RTLD_LAZY | RTLD_NOLOAD))
        return handle;
    std::string found;
    if (dl_iterate_phdr(findLoaded, &found) && !found.empty())
        return dlopen(found.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    return nullptr;
}

}  // namespace

uint32_t serialOfHandle(void* device, std::string* serial)
{
    if (!device || !serial)
        return ZTUIEX_ERR_INVALID_HANDLE;
    void* library = loadedTokenLibrary();
    if (!library)
        return ZTUIEX_ERR_NO_TOKEN_LIBRARY;
    auto getAttr = reinterpret_cast<PFN_ZTToken_GetDeviceAttr>(dlsym(library, "ZTToken_GetDeviceAttr"));
    uint32_t rc = ZTUIEX_ERR_NO_TOKEN_LIBRARY;
    if (getAttr) {
        char buffer[64] = {};
        uint64_t length = sizeof(buffer) - 1;
        rc = getAttr(device, ZTTOKEN_DEVATTR_SERIAL, buffer, &length);
        if (rc == ZTTOKEN_OK && length < sizeof(buffer))
            serial->assign(buffer, strnlen(buffer, static_cast<size_t>(length)));
        else if (rc == ZTTOKEN_OK || rc == ZTTOKEN_ERR_INVALID_HANDLE || rc == ZTTOKEN_ERR_BUFFER_TOO_SMALL)
            rc = ZTUIEX_ERR_INVALID_HANDLE;
        // Anything else (unplugged, damaged record, ...) is the token library's own word.
    }
    dlclose(library);  // balances the NOLOAD reference; the library stays loaded
    return rc;
}

}  // namespace uiex
