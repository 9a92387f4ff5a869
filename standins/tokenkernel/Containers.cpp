// Containers, certificates and the memory certificate store.
#include <cstring>
#include <type_traits>

#include "CertInfo.h"
#include "TokenState.h"

using namespace zttk;

namespace {

uint64_t certIndexOf(size_t position, uint32_t keySpec)
{
    return 2 * position + (keySpec == ZTTOKEN_AT_KEYEXCHANGE ? 1 : 2);
}

uint32_t newContainer(uint64_t device, const std::string& name, void** container)
{
    uint64_t id = newHandle();
    state().containers[id] = ContainerHandle{device, name};
    *container = toHandle(id);
    return ZTTOKEN_OK;
}

uint32_t numberOut(uint64_t value, void* buffer, uint64_t* length)
{
    return copyOut(&value, sizeof(value), buffer, length);
}

}  // namespace

ZTTK_EXPORT uint32_t ZTToken_EnumContainer(void* device, uint32_t flags, uint64_t* index, void** container)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    vtoken::KeyRecord record;
    uint32_t rv = deviceRecord(device, nullptr, &record);
    if (rv != ZTTOKEN_OK)
        return rv;
    if (!index || !container || flags != 255)
        return ZTTOKEN_ERR_INVALID_ARG;
    if (*index >= record.containers.size())
        return ZTTOKEN_ERR_NO_MORE;
    rv = newContainer(fromHandle(device), record.containers[*index].name, container);
    *index += 1;
    return rv;
}
ZTTK_CHECK(ZTToken_EnumContainer);

ZTTK_EXPORT uint32_t ZTToken_OpenContainer(void* device, const char* name, void** container)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    vtoken::KeyRecord record;
    uint32_t rv = deviceRecord(device, nullptr, &record);
    if (rv != ZTTOKEN_OK)
        return rv;
    if (!name || !container)
        return ZTTOKEN_ERR_INVALID_ARG;
    for (const vtoken::Container& c : record.containers) {
        if (c.name == name)
            return newContainer(fromHandle(device), c.name, container);
    }
    return ZTTOKEN_ERR_NO_CONTAINER;
}
ZTTK_CHECK(ZTToken_OpenContainer);

ZTTK_EXPORT uint32_t ZTToken_CloseContainer(void* container)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.initialised)
        return ZTTOKEN_ERR_NOT_INITIALISED;
    return s.containers.erase(fromHandle(container)) ? ZTTOKEN_OK : ZTTOKEN_ERR_INVALID_HANDLE;
}
ZTTK_CHECK(ZTToken_CloseContainer);

ZTTK_EXPORT uint32_t ZTToken_CloseAllContainer(void* device)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.initialised)
        return ZTTOKEN_ERR_NOT_INITIALISED;
    uint64_t id = fromHandle(device);
    if (!s.devices.count(id))
        return ZTTOKEN_ERR_INVALID_HANDLE;
    for (auto it = s.containers.begin(); it != s.containers.end();) {
        if (it->second.device == id)
            it = s.containers.erase(it);
        else
            ++it;
    }
    return ZTTOKEN_OK;
}
ZTTK_CHECK(ZTToken_CloseAllContainer);

ZTTK_EXPORT uint32_t ZTToken_GetContainerAttr(void* container, uint32_t attribute, void* value, uint64_t* length)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    vtoken::KeyRecord record;
    size_t position = 0;
    uint32_t rv = containerRecord(container, nullptr, &record, &position);
    if (rv != ZTTOKEN_OK)
        return rv;
    if (!value || !length)
        return ZTTOKEN_ERR_INVALID_ARG;
    const vtoken::Container& c = record.containers[position];
    switch (attribute) {
    case ZTTOKEN_CONTATTR_NAME: {
        if (*length < c.name.size() + 1) {
            *length = c.name.size() + 1;
            return ZTTOKEN_ERR_BUFFER_TOO_SMALL;
        }
        memcpy(value, c.name.c_str(), c.name.size() + 1);
        *length = c.name.size();
        return ZTTOKEN_OK;
    }
    case ZTTOKEN_CONTATTR_TYPE:
        return numberOut(c.type == vtoken::KeyType::Sm2 ? ZTTOKEN_CONTAINER_SM2 : ZTTOKEN_CONTAINER_RSA, value,
                         length);
    case ZTTOKEN_CONTATTR_STATE: {
        bool ready = !c.exchangeCert.empty() || !c.signatureCert.empty();
        return numberOut(ready ? ZTTOKEN_CONTAINER_READY : ZTTOKEN_CONTAINER_EMPTY, value, length);
    }
    case ZTTOKEN_CONTATTR_EXCH_INDEX:
        if (c.exchangeCert.empty())
            return ZTTOKEN_ERR_NO_CERT;
        return numberOut(certIndexOf(position, ZTTOKEN_AT_KEYEXCHANGE), value, length);
    case ZTTOKEN_CONTATTR_SIGN_INDEX:
        if (c.signatureCert.empty())
            return ZTTOKEN_ERR_NO_CERT;
        return numberOut(certIndexOf(position, ZTTOKEN_AT_SIGNATURE), value, length);
    default:
        return ZTTOKEN_ERR_NOT_SUPPORTED;
    }
}
ZTTK_CHECK(ZTToken_GetContainerAttr);

ZTTK_EXPORT uint32_t ZTToken_ReadCert(void* device, uint64_t certIndex, uint8_t* buffer, uint64_t* length)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    DeviceHandle* handle;
    vtoken::KeyRecord record;
    uint32_t rv = deviceRecord(device, &handle, &record);
    if (rv != ZTTOKEN_OK)
        return rv;
    if (!length || certIndex < 1 || certIndex > ZTTOKEN_MAX_CERT_INDEX)
        return ZTTOKEN_ERR_INVALID_ARG;
    size_t position = (certIndex - 1) / 2;
    if (position >= record.containers.size())
        return ZTTOKEN_ERR_NO_CERT;
    const vtoken::Container& c = record.containers[position];
    const std::vector<uint8_t>& der = certIndex % 2 == 1 ? c.exchangeCert : c.signatureCert;
    if (der.empty())
        return ZTTOKEN_ERR_NO_CERT;
    rv = copyOut(der.data(), der.size(), buffer, length);
    if (rv != ZTTOKEN_OK || handle->slot < 0)
        return rv;
    // What was read stays in the memory store for the handle's slot.
    vtoken::MemCertStore* mem;
    rv = memStore(&mem);
    if (rv != ZTTOKEN_OK)
        return rv;
    return codeOf(mem->put(handle->slot, static_cast<int>(certIndex), der.data(), der.size()));
}
ZTTK_CHECK(ZTToken_ReadCert);

ZTTK_EXPORT uint32_t ZTToken_WriteCert(void* container, uint32_t keySpec, const uint8_t* der, uint64_t length)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    ContainerHandle* handle;
    vtoken::KeyRecord record;
    uint32_t rv = containerRecord(container, &handle, &record, nullptr);
    if (rv != ZTTOKEN_OK)
        return rv;
    if (!der || (keySpec != ZTTOKEN_AT_KEYEXCHANGE && keySpec != ZTTOKEN_AT_SIGNATURE))
        return ZTTOKEN_ERR_INVALID_ARG;
    if (length == 0 || length > ZTTOKEN_MAX_CERT_LEN)
        return ZTTOKEN_ERR_BAD_CERT;
    std::vector<uint8_t> bytes(der, der + length);
    if (!vtoken::looksLikeCertificate(bytes))
        return ZTTOKEN_ERR_BAD_CERT;
    const std::string name = handle->name;
    return codeOf(state().store->update(record.serial, [&](vtoken::KeyRecord& r) {
        for (vtoken::Container& c : r.containers) {
            if (c.name == name) {
                (keySpec == ZTTOKEN_AT_KEYEXCHANGE ? c.exchangeCert : c.signatureCert) = bytes;
                return vtoken::Status::Ok;
            }
        }
        return vtoken::Status::NoContainer;
    }));
}
ZTTK_CHECK(ZTToken_WriteCert);

namespace {

uint32_t memPlace(uint64_t slot, uint64_t index, vtoken::MemCertStore** mem)
{
    if (!state().initialised)
        return ZTTOKEN_ERR_NOT_INITIALISED;
    if (slot >= static_cast<uint64_t>(vtoken::kMemSlots) || index < 1 ||
        index > static_cast<uint64_t>(vtoken::kMemIndices))
        return ZTTOKEN_ERR_INVALID_ARG;
    return memStore(mem);
}

}  // namespace

ZTTK_EXPORT uint32_t ZTToken_ReadMemCertByIndex(uint64_t slot, uint64_t index, uint8_t* buffer, uint64_t* length)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    vtoken::MemCertStore* mem;
    uint32_t rv = memPlace(slot, index, &mem);
    if (rv != ZTTOKEN_OK)
        return rv;
    if (!length)
        return ZTTOKEN_ERR_INVALID_ARG;
    std::vector<uint8_t> der;
    vtoken::Status status = mem->get(static_cast<int>(slot), static_cast<int>(index), &der);
    if (status != vtoken::Status::Ok) {
        *length = 0;
        return codeOf(status);
    }
    return copyOut(der.data(), der.size(), buffer, length);
}
ZTTK_CHECK(ZTToken_ReadMemCertByIndex);

ZTTK_EXPORT uint32_t ZTToken_ClearMemInfo(uint64_t slot, uint32_t what)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    if (what != ZTTOKEN_MEMINFO_CERTS)
        return ZTTOKEN_ERR_INVALID_ARG;
    vtoken::MemCertStore* mem;
    uint32_t rv = memPlace(slot, 1, &mem);
    if (rv != ZTTOKEN_OK)
        return rv;
    return codeOf(mem->clearSlot(static_cast<int>(slot)));
}
ZTTK_CHECK(ZTToken_ClearMemInfo);

ZTTK_EXPORT uint32_t ZTToken_DeleteMemCert(uint64_t slot, uint64_t index)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    vtoken::MemCertStore* mem;
    uint32_t rv = memPlace(slot, index, &mem);
    if (rv != ZTTOKEN_OK)
        return rv;
    return codeOf(mem->remove(static_cast<int>(slot), static_cast<int>(index)));
}
ZTTK_CHECK(ZTToken_DeleteMemCert);
