// The selected key's certificates read back from the token's memory store.
#include <exception>

#include "CertManager.h"
#include "DeviceAccess.h"
#include "KeySelection.h"
#include "bindings/ZTTokenExp_fundef.h"

unsigned long CCertManager::readCertFromMemByIndex(unsigned char* buffer, unsigned long* length, int index)
{
    if (!buffer || !length)
        return ~0ul;
    void* device = nullptr;
    try {
        if (m_selection)
            getDeviceHandleBySelectedNode(*m_selection, &device);
        if (!device)
            return ZT_ERR_NO_DEVICE;
        unsigned long ret = 0;
        uint64_t slot = 0;
        uint64_t attributeLength = sizeof(slot);
        ret = ZTToken_GetDeviceAttr(device, ZTTOKEN_DEVATTR_SLOT, &slot, &attributeLength);
        if (ret == 0) {
            uint64_t size = *length;
            ret = ZTToken_ReadMemCertByIndex(slot, index < 0 ? 0 : static_cast<uint64_t>(index), buffer, &size);
            *length = static_cast<unsigned long>(size);
        }
        ZTToken_CloseDevice(device);
        return ret;
    } catch (const std::exception&) {
        if (device)
            ZTToken_CloseDevice(device);
        return ZT_ERR_UNEXPECTED;
    }
}
