// Device functions: enumeration, connection and the device information record.
#include <cstring>

#include "SkfExport.h"
#include "SkfHandles.h"
#include "SkfStore.h"

using namespace skfstub;

SKF_EXPORT SKF_ULONG SKF_EnumDev(SKF_BOOL bPresent, char* szNameList, SKF_ULONG* pulSize)
{
    std::vector<std::string> names;
    const vtoken::Store keys = store();
    // A refused store must not look like a store without keys.
    if (keys.checkFolder() != vtoken::Status::Ok)
        return SAR_FILEERR;
    if (bPresent) {
        for (const KeyPtr& key : pluggedKeys(keys))
            names.push_back(key->deviceName);
    } else {
        for (const vtoken::ListedKey& key : keys.list()) {
            if (key.status == vtoken::Status::Ok)
                names.push_back(key.record.deviceName);
        }
    }
    return writeNameList(names, szNameList, pulSize);
}
SKF_CHECK_SIGNATURE(SKF_EnumDev);

SKF_EXPORT SKF_ULONG SKF_ConnectDev(const char* szName, DEVHANDLE* phDev)
{
    if (!szName || !phDev)
        return SAR_INVALIDPARAMERR;
    *phDev = nullptr;
    if (!*szName)
        return SAR_INVALIDPARAMERR;
    const vtoken::Store keys = store();
    const std::string serial = serialOfDevice(keys, szName);
    if (serial.empty())
        return SAR_DEVICE_REMOVED;
    HandleInfo info;
    info.kind = HandleKind::Device;
    info.serial = serial;
    info.folder = keys.folder();
    *phDev = openHandle(info);
    return SAR_OK;
}
SKF_CHECK_SIGNATURE(SKF_ConnectDev);

SKF_EXPORT SKF_ULONG SKF_DisConnectDev(DEVHANDLE hDev)
{
    return closeHandle(hDev, HandleKind::Device) ? SAR_OK : SAR_INVALIDHANDLEERR;
}
SKF_CHECK_SIGNATURE(SKF_DisConnectDev);

// 1 = present, 0 = absent.
SKF_EXPORT SKF_ULONG SKF_GetDevState(const char* szDevName, SKF_ULONG* pulDevState)
{
    if (!szDevName || !pulDevState)
        return SAR_INVALIDPARAMERR;
    *pulDevState = serialOfDevice(store(), szDevName).empty() ? 0 : 1;
    return SAR_OK;
}
SKF_CHECK_SIGNATURE(SKF_GetDevState);

SKF_EXPORT SKF_ULONG SKF_GetDevInfo(DEVHANDLE hDev, DEVINFO* pDevInfo)
{
    if (!pDevInfo)
        return SAR_INVALIDPARAMERR;
    HandleInfo handle;
    if (!lookupHandle(hDev, HandleKind::Device, &handle))
        return SAR_INVALIDHANDLEERR;
    KeyPtr key;
    const SKF_ULONG rv = loadPluggedKey(handle, &key);
    if (rv != SAR_OK)
        return rv;
    memset(pDevInfo, 0, sizeof(*pDevInfo));
    pDevInfo->Version = {1, 0};
    copyText(pDevInfo->Manufacturer, sizeof(pDevInfo->Manufacturer), key->manufacturer);
    copyText(pDevInfo->Issuer, sizeof(pDevInfo->Issuer), key->manufacturer);
    copyText(pDevInfo->Label, sizeof(pDevInfo->Label), key->label);
    copyText(pDevInfo->SerialNumber, sizeof(pDevInfo->SerialNumber), key->serial);
    pDevInfo->HWVersion = {key->hardwareVersion[0], key->hardwareVersion[1]};
    pDevInfo->FirmwareVersion = {key->firmwareVersion[0], key->firmwareVersion[1]};
    pDevInfo->AlgAsymCap = 0x00010000u | 0x00020100u;  // RSA, SM2
    pDevInfo->AlgHashCap = 0x00000001u;                // SM3
    pDevInfo->TotalSpace = 64 * 1024;
    pDevInfo->FreeSpace = 32 * 1024;
    pDevInfo->MaxECCBufferSize = 1024;
    pDevInfo->MaxBufferSize = 4096;
    return SAR_OK;
}
SKF_CHECK_SIGNATURE(SKF_GetDevInfo);
