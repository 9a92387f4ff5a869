#pragma once
// Handles the stand-in gives out. A handle is the address of an object kept
// in a process-wide table, so a stale or forged handle is refused instead of
// being dereferenced.
#include <string>

#include "bindings/SkfApi.h"

namespace skfstub {

enum class HandleKind { Device, Application, Container };

struct HandleInfo {
    HandleKind kind = HandleKind::Device;
    std::string serial;     // the key's serial number in the store
    std::string container;  // for containers
    // The store the key was connected in; calls on the handle go there
    // without reading the configuration again.
    std::string folder;
};

void* openHandle(const HandleInfo& info);
// Copies the handle's information when it is live and of the given kind.
bool lookupHandle(void* handle, HandleKind kind, HandleInfo* info);
bool closeHandle(void* handle, HandleKind kind);

}  // namespace skfstub
