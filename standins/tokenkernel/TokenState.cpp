#include "TokenState.h"

#include <cstring>

#include "Log.h"
#include "StoreConfig.h"

namespace zttk {

State& state()
{
    static State instance;
    return instance;
}

uint32_t codeOf(vtoken::Status status)
{
    using vtoken::Status;
    switch (status) {
    case Status::Ok: return ZTTOKEN_OK;
    case Status::NotFound: return ZTTOKEN_ERR_NO_DEVICE;
    case Status::NotPlugged: return ZTTOKEN_ERR_NO_DEVICE;
    case Status::Exists: return ZTTOKEN_ERR_INVALID_ARG;
    case Status::Damaged: return ZTTOKEN_ERR_DAMAGED;
    case Status::IoError: return ZTTOKEN_ERR_STORE_IO;
    case Status::BadArgument: return ZTTOKEN_ERR_INVALID_ARG;
    case Status::PinIncorrect: return ZTTOKEN_ERR_PIN_INCORRECT;
    case Status::PinLocked: return ZTTOKEN_ERR_PIN_LOCKED;
    case Status::PinLength: return ZTTOKEN_ERR_PIN_LENGTH;
    case Status::NoFreeSlot: return ZTTOKEN_ERR_NO_DEVICE;
    case Status::ContainerFull: return ZTTOKEN_ERR_CONTAINER_FULL;
    case Status::NoContainer: return ZTTOKEN_ERR_NO_CONTAINER;
    case Status::NoCert: return ZTTOKEN_ERR_NO_CERT;
    case Status::BadCert: return ZTTOKEN_ERR_BAD_CERT;
    case Status::Busy: return ZTTOKEN_ERR_BUSY;
    }
    return ZTTOKEN_ERR_INVALID_ARG;
}

uint64_t newHandle()
{
    return state().nextHandle++;
}

uint32_t deviceRecord(void* handle, DeviceHandle** device, vtoken::KeyRecord* record)
{
    State& s = state();
    if (!s.initialised)
        return ZTTOKEN_ERR_NOT_INITIALISED;
    auto it = s.devices.find(fromHandle(handle));
    if (it == s.devices.end())
        return ZTTOKEN_ERR_INVALID_HANDLE;
    vtoken::Status status = s.store->load(it->second.serial, record);
    if (status != vtoken::Status::Ok)
        return codeOf(status);
    if (!record->plugged)
        return ZTTOKEN_ERR_NO_DEVICE;  // pulled out while open
    if (device)
        *device = &it->second;
    return ZTTOKEN_OK;
}

uint32_t containerRecord(void* handle, ContainerHandle** container, vtoken::KeyRecord* record, size_t* position)
{
    State& s = state();
    if (!s.initialised)
        return ZTTOKEN_ERR_NOT_INITIALISED;
    auto it = s.containers.find(fromHandle(handle));
    if (it == s.containers.end())
        return ZTTOKEN_ERR_INVALID_HANDLE;
    uint32_t rv = deviceRecord(toHandle(it->second.device), nullptr, record);
    if (rv != ZTTOKEN_OK)
        return rv;
    for (size_t i = 0; i < record->containers.size(); ++i) {
        if (record->containers[i].name == it->second.name) {
            if (container)
                *container = &it->second;
            if (position)
                *position = i;
            return ZTTOKEN_OK;
        }
    }
    return ZTTOKEN_ERR_NO_CONTAINER;
}

uint32_t memStore(vtoken::MemCertStore** store)
{
    State& s = state();
    if (!s.memStore) {
        std::string error;
        if (vtoken::MemCertStore::open(vtoken::memStoreSegmentName(), vtoken::memStoreLockName(), &s.memStore,
                                       &error) != vtoken::Status::Ok)
            return ZTTOKEN_ERR_MEMSTORE;
    }
    *store = s.memStore.get();
    return ZTTOKEN_OK;
}

void closeDevice(uint64_t id)
{
    State& s = state();
    for (auto it = s.containers.begin(); it != s.containers.end();) {
        if (it->second.device == id)
            it = s.containers.erase(it);
        else
            ++it;
    }
    s.devices.erase(id);
}

uint32_t copyOut(const void* data, uint64_t size, void* buffer, uint64_t* length)
{
    if (!length)
        return ZTTOKEN_ERR_INVALID_ARG;
    if (!buffer || *length < size) {
        *length = size;
        return ZTTOKEN_ERR_BUFFER_TOO_SMALL;
    }
    if (size)
        memcpy(buffer, data, size);
    *length = size;
    return ZTTOKEN_OK;
}

}  // namespace zttk
