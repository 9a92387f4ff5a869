// Start-up, enumeration, opening and the device change queries.
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "TokenState.h"

using namespace zttk;

namespace {

uint32_t openBySerial(const vtoken::KeyRecord& record, int slot, void** device)
{
    uint64_t id = newHandle();
    DeviceHandle handle;
    handle.serial = record.serial;
    handle.slot = slot;
    state().devices[id] = handle;
    *device = toHandle(id);
    return ZTTOKEN_OK;
}

uint32_t enumerate(uint64_t* count, void** handles, uint64_t* allCount)
{
    State& s = state();
    if (!s.initialised)
        return ZTTOKEN_ERR_NOT_INITIALISED;
    if (!count || (*count > 0 && !handles))
        return ZTTOKEN_ERR_INVALID_ARG;
    // A refused store must not look like a store without keys.
    if (s.store->checkFolder() != vtoken::Status::Ok)
        return ZTTOKEN_ERR_STORE_IO;
    std::vector<vtoken::KeyRecord> keys = s.store->pluggedKeys();
    uint64_t listed = std::min<uint64_t>(*count, keys.size());
    for (uint64_t i = 0; i < listed; ++i) {
        // One handle per key across enumerations, so published handles stay stable.
        uint64_t id = 0;
        for (uint64_t existing : s.enumerated) {
            auto it = s.devices.find(existing);
            if (it != s.devices.end() && it->second.serial == keys[i].serial)
                id = existing;
        }
        if (id == 0) {
            id = newHandle();
            s.enumerated.push_back(id);
        }
        DeviceHandle& handle = s.devices[id];
        handle.serial = keys[i].serial;
        handle.slot = keys[i].slot;
        handle.enumerated = true;
        handles[i] = toHandle(id);
    }
    *count = listed;
    if (allCount)
        *allCount = keys.size();
    return ZTTOKEN_OK;
}

}  // namespace

ZTTK_EXPORT uint32_t InitZTToken(uint32_t callerKind)
{
    if (callerKind != ZTTOKEN_CALLER_DAEMON && callerKind != ZTTOKEN_CALLER_MANAGER)
        return ZTTOKEN_ERR_INVALID_ARG;
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.store)
        s.store.reset(new vtoken::Store(vtoken::Store::configured()));
    s.initialised = true;
    return ZTTOKEN_OK;
}
ZTTK_CHECK(InitZTToken);

ZTTK_EXPORT uint32_t FreeZTToken()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.devices.clear();
    s.containers.clear();
    s.enumerated.clear();
    s.memStore.reset();
    s.store.reset();
    s.initialised = false;
    return ZTTOKEN_OK;
}
ZTTK_CHECK(FreeZTToken);

ZTTK_EXPORT uint32_t ZTToken_EnumDevice(uint64_t* count, void** handles)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return enumerate(count, handles, nullptr);
}
ZTTK_CHECK(ZTToken_EnumDevice);

ZTTK_EXPORT uint32_t ZTToken_EnumDeviceWithAllCount(uint64_t* count, void** handles, uint64_t* allCount)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return enumerate(count, handles, allCount);
}
ZTTK_CHECK(ZTToken_EnumDeviceWithAllCount);

ZTTK_EXPORT uint32_t ZTToken_DestroyEnum()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.initialised)
        return ZTTOKEN_ERR_NOT_INITIALISED;
    // Enumeration passes may overlap: one pass's end must not pull the handles
    // from under another. A listed handle goes when its key is gone.
    std::set<std::string> plugged;
    for (const vtoken::KeyRecord& key : s.store->pluggedKeys())
        plugged.insert(key.serial);
    std::vector<uint64_t> kept;
    for (uint64_t id : s.enumerated) {
        auto it = s.devices.find(id);
        if (it != s.devices.end() && plugged.count(it->second.serial))
            kept.push_back(id);
        else
            closeDevice(id);
    }
    s.enumerated.swap(kept);
    return ZTTOKEN_OK;
}
ZTTK_CHECK(ZTToken_DestroyEnum);

ZTTK_EXPORT uint32_t ZTToken_OpenDeviceByHandle(void* device)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    vtoken::KeyRecord record;
    return deviceRecord(device, nullptr, &record);
}
ZTTK_CHECK(ZTToken_OpenDeviceByHandle);

namespace {

uint32_t openByName(const char* deviceName, void** device, int slot, bool keepSlot)
{
    State& s = state();
    if (!s.initialised)
        return ZTTOKEN_ERR_NOT_INITIALISED;
    if (!deviceName || !device || strnlen(deviceName, 256) > 255)
        return ZTTOKEN_ERR_INVALID_ARG;
    *device = nullptr;
    for (const vtoken::KeyRecord& key : s.store->pluggedKeys()) {
        if (key.deviceName == deviceName)
            return openBySerial(key, keepSlot ? key.slot : slot, device);
    }
    return ZTTOKEN_ERR_NO_DEVICE;
}

}  // namespace

ZTTK_EXPORT uint32_t ZTToken_OpenDeviceByName(const char* deviceName, void** device)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return openByName(deviceName, device, -1, true);
}
ZTTK_CHECK(ZTToken_OpenDeviceByName);

ZTTK_EXPORT uint32_t ZTToken_OpenDeviceByNameAndSetSlotID(const char* deviceName, void** device, uint64_t slot)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    if (slot >= static_cast<uint64_t>(vtoken::kSlotCount)) {
        if (device)
            *device = nullptr;
        return ZTTOKEN_ERR_INVALID_ARG;
    }
    return openByName(deviceName, device, static_cast<int>(slot), false);
}
ZTTK_CHECK(ZTToken_OpenDeviceByNameAndSetSlotID);

ZTTK_EXPORT uint32_t ZTToken_OpenDeviceBySlotID(uint64_t slot, void** device)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.initialised)
        return ZTTOKEN_ERR_NOT_INITIALISED;
    if (!device || slot >= static_cast<uint64_t>(vtoken::kSlotCount))
        return ZTTOKEN_ERR_INVALID_ARG;
    *device = nullptr;
    for (const vtoken::KeyRecord& key : s.store->pluggedKeys()) {
        if (key.slot == static_cast<int>(slot))
            return openBySerial(key, key.slot, device);
    }
    return ZTTOKEN_ERR_NO_DEVICE;
}
ZTTK_CHECK(ZTToken_OpenDeviceBySlotID);

ZTTK_EXPORT uint32_t ZTToken_CloseDevice(void* device)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.initialised)
        return ZTTOKEN_ERR_NOT_INITIALISED;
    auto it = s.devices.find(fromHandle(device));
    if (it == s.devices.end())
        return ZTTOKEN_ERR_INVALID_HANDLE;
    if (!it->second.enumerated)
        closeDevice(it->first);  // listed handles live until DestroyEnum
    return ZTTOKEN_OK;
}
ZTTK_CHECK(ZTToken_CloseDevice);

ZTTK_EXPORT uint32_t ZTToken_GetDeviceChange(uint32_t kind, uint64_t* slots, uint64_t* count)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.initialised)
        return ZTTOKEN_ERR_NOT_INITIALISED;
    if ((kind != ZT_KEY_EVENT_ADDED && kind != ZT_KEY_EVENT_REMOVED) || !count || (*count > 0 && !slots))
        return ZTTOKEN_ERR_INVALID_ARG;
    std::set<std::pair<int, std::string>> current;
    for (const vtoken::KeyRecord& key : s.store->pluggedKeys())
        current.insert({key.slot, key.serial});
    const uint64_t capacity = *count;
    uint64_t written = 0;
    if (kind == ZT_KEY_EVENT_ADDED) {
        std::set<std::pair<int, std::string>> known;
        for (const auto& entry : s.knownForAdded) {
            if (current.count(entry))
                known.insert(entry);
        }
        for (const auto& entry : current) {
            if (known.count(entry) || written == capacity)
                continue;
            slots[written++] = static_cast<uint64_t>(entry.first);
            known.insert(entry);
        }
        s.knownForAdded.swap(known);
    } else {
        // Known = what is plugged now, plus removals not reported yet.
        std::set<std::pair<int, std::string>> known = current;
        for (const auto& entry : s.knownForRemoved) {
            if (current.count(entry))
                continue;
            if (written < capacity)
                slots[written++] = static_cast<uint64_t>(entry.first);
            else
                known.insert(entry);
        }
        s.knownForRemoved.swap(known);
    }
    *count = written;
    return ZTTOKEN_OK;
}
ZTTK_CHECK(ZTToken_GetDeviceChange);

ZTTK_EXPORT uint32_t ZTToken_GetDeviceAttr(void* device, uint32_t attribute, void* value, uint64_t* length)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    DeviceHandle* handle;
    vtoken::KeyRecord record;
    uint32_t rv = deviceRecord(device, &handle, &record);
    if (rv != ZTTOKEN_OK)
        return rv;
    if (!length || !value)
        return ZTTOKEN_ERR_INVALID_ARG;
    switch (attribute) {
    case ZTTOKEN_DEVATTR_NAME:
    case ZTTOKEN_DEVATTR_SERIAL: {
        const std::string& text = attribute == ZTTOKEN_DEVATTR_NAME ? record.deviceName : record.serial;
        uint64_t capacity = *length;
        if (capacity < text.size() + 1) {
            *length = text.size() + 1;
            return ZTTOKEN_ERR_BUFFER_TOO_SMALL;
        }
        memcpy(value, text.c_str(), text.size() + 1);
        *length = text.size();
        return ZTTOKEN_OK;
    }
    case ZTTOKEN_DEVATTR_SLOT: {
        if (handle->slot < 0)
            return ZTTOKEN_ERR_NO_DEVICE;
        uint64_t slot = static_cast<uint64_t>(handle->slot);
        return copyOut(&slot, sizeof(slot), value, length);
    }
    default:
        return ZTTOKEN_ERR_NOT_SUPPORTED;
    }
}
ZTTK_CHECK(ZTToken_GetDeviceAttr);

ZTTK_EXPORT uint32_t ZTToken_GetCCIDDeviceInfoFromConfigFile(void* records, uint64_t* count)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    if (!state().initialised)
        return ZTTOKEN_ERR_NOT_INITIALISED;
    if (!count)
        return ZTTOKEN_ERR_INVALID_ARG;
    // The one reader the product supports.
    ZTCCIDDeviceInfo info;
    memset(&info, 0, sizeof(info));
    info.vendorId = 0x2EC9;
    info.productId = 0x1001;
    strcpy(info.name, "Zenvit USB Key");
    strcpy(info.readerPattern, "ZVIT VKey");
    if (!records) {
        *count = 1;
        return ZTTOKEN_OK;
    }
    if (*count < 1) {
        *count = 1;
        return ZTTOKEN_ERR_BUFFER_TOO_SMALL;
    }
    memcpy(records, &info, sizeof(info));
    *count = 1;
    return ZTTOKEN_OK;
}
ZTTK_CHECK(ZTToken_GetCCIDDeviceInfoFromConfigFile);
