// Container functions: names, type and the certificates a container holds.
#include <cstring>

#include "SkfExport.h"
#include "SkfHandles.h"
#include "SkfStore.h"

using namespace skfstub;

namespace {

// The container of a live container handle, from the key's current record
// (held in *key while the container is used).
SKF_ULONG loadContainer(HCONTAINER hContainer, KeyPtr* key, const vtoken::Container** container)
{
    HandleInfo handle;
    if (!lookupHandle(hContainer, HandleKind::Container, &handle))
        return SAR_INVALIDHANDLEERR;
    const SKF_ULONG rv = loadPluggedKey(handle, key);
    if (rv != SAR_OK)
        return rv;
    for (const vtoken::Container& entry : (*key)->containers) {
        if (entry.name == handle.container) {
            *container = &entry;
            return SAR_OK;
        }
    }
    return SAR_INVALIDHANDLEERR;
}

}  // namespace

SKF_EXPORT SKF_ULONG SKF_EnumContainer(HAPPLICATION hApplication, char* szContainerName, SKF_ULONG* pulSize)
{
    HandleInfo handle;
    if (!lookupHandle(hApplication, HandleKind::Application, &handle))
        return SAR_INVALIDHANDLEERR;
    KeyPtr key;
    const SKF_ULONG rv = loadPluggedKey(handle, &key);
    if (rv != SAR_OK)
        return rv;
    std::vector<std::string> names;
    for (const vtoken::Container& container : key->containers)
        names.push_back(container.name);
    return writeNameList(names, szContainerName, pulSize);
}
SKF_CHECK_SIGNATURE(SKF_EnumContainer);

SKF_EXPORT SKF_ULONG SKF_OpenContainer(HAPPLICATION hApplication, const char* szContainerName,
                                       HCONTAINER* phContainer)
{
    if (!szContainerName || !phContainer)
        return SAR_INVALIDPARAMERR;
    *phContainer = nullptr;
    HandleInfo handle;
    if (!lookupHandle(hApplication, HandleKind::Application, &handle))
        return SAR_INVALIDHANDLEERR;
    KeyPtr key;
    const SKF_ULONG rv = loadPluggedKey(handle, &key);
    if (rv != SAR_OK)
        return rv;
    for (const vtoken::Container& container : key->containers) {
        if (container.name == szContainerName) {
            handle.kind = HandleKind::Container;
            handle.container = container.name;
            *phContainer = openHandle(handle);
            return SAR_OK;
        }
    }
    return SAR_INVALIDPARAMERR;
}
SKF_CHECK_SIGNATURE(SKF_OpenContainer);

SKF_EXPORT SKF_ULONG SKF_CloseContainer(HCONTAINER hContainer)
{
    return closeHandle(hContainer, HandleKind::Container) ? SAR_OK : SAR_INVALIDHANDLEERR;
}
SKF_CHECK_SIGNATURE(SKF_CloseContainer);

// 1 = RSA, 2 = ECC (SM2), as the standard numbers them.
SKF_EXPORT SKF_ULONG SKF_GetContainerType(HCONTAINER hContainer, SKF_ULONG* pulContainerType)
{
    if (!pulContainerType)
        return SAR_INVALIDPARAMERR;
    KeyPtr key;
    const vtoken::Container* container = nullptr;
    const SKF_ULONG rv = loadContainer(hContainer, &key, &container);
    if (rv != SAR_OK)
        return rv;
    *pulContainerType = container->type == vtoken::KeyType::Sm2 ? 2 : 1;
    return SAR_OK;
}
SKF_CHECK_SIGNATURE(SKF_GetContainerType);

SKF_EXPORT SKF_ULONG SKF_ExportCertificate(HCONTAINER hContainer, SKF_BOOL bSignFlag, uint8_t* pbCert,
                                           SKF_ULONG* pulCertLen)
{
    if (!pulCertLen)
        return SAR_INVALIDPARAMERR;
    KeyPtr key;
    const vtoken::Container* container = nullptr;
    const SKF_ULONG rv = loadContainer(hContainer, &key, &container);
    if (rv != SAR_OK)
        return rv;
    const std::vector<uint8_t>& cert = bSignFlag ? container->signatureCert : container->exchangeCert;
    if (cert.empty())
        return SAR_CERTNOTFOUNTERR;
    const SKF_ULONG length = static_cast<SKF_ULONG>(cert.size());
    if (!pbCert) {
        *pulCertLen = length;
        return SAR_OK;
    }
    if (*pulCertLen < length) {
        *pulCertLen = length;
        return SAR_BUFFER_TOO_SMALL;
    }
    memcpy(pbCert, cert.data(), cert.size());
    *pulCertLen = length;
    return SAR_OK;
}
SKF_CHECK_SIGNATURE(SKF_ExportCertificate);
