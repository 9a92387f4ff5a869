#pragma once
// Process-wide state of the token library stand-in: the handle tables, the
// store, the memory certificate store and what the change queries reported.
// Every exported call holds the one mutex for its whole run.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "MemCertStore.h"
#include "Record.h"
#include "Store.h"
#include "bindings/ZTToken_api.h"

#define ZTTK_EXPORT extern "C" __attribute__((visibility("default")))
// The exported definition must have exactly the binding's pointer type.
#define ZTTK_CHECK(name)                                                                             \
    static_assert(std::is_same<decltype(&name), PFN_##name>::value, #name " differs from PFN_" #name)

namespace zttk {

struct DeviceHandle {
    std::string serial;
    int slot = -1;          // slot the certificates read through it go to
    bool enumerated = false; // listed by an enumeration: lives until DestroyEnum
};

struct ContainerHandle {
    uint64_t device = 0;
    std::string name;
};

struct State {
    std::mutex mutex;
    bool initialised = false;
    std::unique_ptr<vtoken::Store> store;
    std::unique_ptr<vtoken::MemCertStore> memStore;
    std::map<uint64_t, DeviceHandle> devices;
    std::map<uint64_t, ContainerHandle> containers;
    std::vector<uint64_t> enumerated;
    // (slot, serial) as last reported by the removed and the added query.
    std::set<std::pair<int, std::string>> knownForRemoved;
    std::set<std::pair<int, std::string>> knownForAdded;
    uint64_t nextHandle = 0x5a100001;
};

State& state();
uint32_t codeOf(vtoken::Status status);

// The following expect the state mutex to be held.
uint64_t newHandle();
// The device and its valid, plugged record; ZTTOKEN_ERR_* otherwise.
uint32_t deviceRecord(void* handle, DeviceHandle** device, vtoken::KeyRecord* record);
uint32_t containerRecord(void* handle, ContainerHandle** container, vtoken::KeyRecord* record, size_t* position);
// Opens the memory store on first use.
uint32_t memStore(vtoken::MemCertStore** store);
void closeDevice(uint64_t id);
// Copies bytes to a caller's buffer under the length convention of the API.
uint32_t copyOut(const void* data, uint64_t size, void* buffer, uint64_t* length);

inline void* toHandle(uint64_t id)
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(id));
}
inline uint64_t fromHandle(void* handle)
{
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle));
}

}  // namespace zttk
