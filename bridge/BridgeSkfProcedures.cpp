// The SKF call sequences behind the page commands. Every length that the
// library reports is checked against the buffer it is meant for.
#include <cstdio>
#include <cstring>
#include <vector>

#include "BridgeCertText.h"
#include "BridgeLog.h"
#include "BridgeProtocol.h"
#include "BridgeResults.h"
#include "SkfBinding.h"

using namespace zvitskf;

namespace {

// Application name lists come from the library; anything longer is an error.
constexpr SKF_ULONG kMaxAppListSize = 64 * 1024;

// Length of the name starting at offset, or -1 when it is not terminated
// inside the list.
long nameLength(const char* list, size_t listLength, size_t offset)
{
    if (offset >= listLength)
        return -1;
    const size_t n = strnlen(list + offset, listLength - offset);
    return n < listLength - offset ? static_cast<long>(n) : -1;
}

}  // namespace

void BridgeProtocol::closeHandles(HAPPLICATION* application, DEVHANDLE* device)
{
    // A refusal here means a handle went to a library that never gave it out.
    SKF_ULONG rv;
    if (m_loaded && *application && (rv = SKF_CloseApplication(*application)) != SAR_OK)
        BRIDGE_LOG("SKF_CloseApplication failed: 0x%08X\n", rv);
    if (m_loaded && *device && (rv = SKF_DisConnectDev(*device)) != SAR_OK)
        BRIDGE_LOG("SKF_DisConnectDev failed: 0x%08X\n", rv);
    *application = nullptr;
    *device = nullptr;
}

bool BridgeProtocol::enumerateDevices(BridgeSession& s, char* nameList, size_t capacity)
{
    s.devCount = 0;
    SKF_ULONG size = 0;
    SKF_ULONG rv = SKF_EnumDev(TRUE, nullptr, &size);
    BRIDGE_LOG("SKF_EnumDev1 return: %d", static_cast<int>(size));
    if (rv != SAR_OK) {
        BRIDGE_LOG("SKF_EnumDev failed: 0x%08X\n", rv);
        return false;
    }
    if (size > capacity) {
        BRIDGE_LOG("SKF_EnumDev failed: 0x%08X\n", SAR_BUFFER_TOO_SMALL);
        return false;
    }
    memset(nameList, 0, capacity);
    rv = SKF_EnumDev(TRUE, nameList, &size);
    BRIDGE_LOG("SKF_EnumDev2 return: %d", static_cast<int>(size));
    if (rv != SAR_OK) {
        BRIDGE_LOG("SKF_EnumDev failed: 0x%08X\n", rv);
        return false;
    }
    // The last byte stays a terminator whatever the library wrote.
    nameList[capacity - 1] = '\0';
    const size_t listLength = size < capacity ? size : capacity;
    size_t offset = 0;
    for (long n; (n = nameLength(nameList, listLength, offset)) > 0; offset += static_cast<size_t>(n) + 1)
        ++s.devCount;
    if (s.devCount == 1)
        s.singleDevice = true;
    return true;
}

bool BridgeProtocol::openApplication(const char* deviceName, char* containerList, SKF_ULONG* containerLength,
                                     HAPPLICATION* application, DEVHANDLE* device)
{
    const SKF_ULONG containerCapacity = *containerLength;
    *containerLength = 0;
    SKF_ULONG rv = SKF_ConnectDev(deviceName, device);
    if (rv != SAR_OK) {
        *device = nullptr;
        BRIDGE_LOG("SKF_ConnectDev failed: 0x%08X\n", rv);
        return false;
    }
    DEVINFO info;
    memset(&info, 0, sizeof(info));
    rv = SKF_GetDevInfo(*device, &info);
    if (rv != SAR_OK) {
        printf("SKF_GetDevInfo failed: 0x%08X\n", rv);
        fflush(stdout);
        BRIDGE_LOG("SKF_GetDevInfo failed: 0x%08X\n", rv);
        return false;
    }
    SKF_ULONG size = 0;
    rv = SKF_EnumApplication(*device, nullptr, &size);
    if (rv == SAR_OK && size > kMaxAppListSize)
        rv = SAR_BUFFER_TOO_SMALL;
    if (rv != SAR_OK) {
        BRIDGE_LOG("SKF_EnumApplication failed: 0x%08X\n", rv);
        return false;
    }
    std::vector<char> names(static_cast<size_t>(size) + 1, '\0');
    rv = SKF_EnumApplication(*device, names.data(), &size);
    if (rv != SAR_OK) {
        BRIDGE_LOG("SKF_EnumApplication failed: 0x%08X\n", rv);
        return false;
    }
    names.back() = '\0';
    BRIDGE_LOG("SKF_EnumApplication: %s AppNameLen %d", names.data(), static_cast<int>(size));
    rv = SKF_OpenApplication(*device, names.data(), application);
    if (rv != SAR_OK) {
        *application = nullptr;
        BRIDGE_LOG("SKF_OpenApplication failed: 0x%08X\n", rv);
        return false;
    }
    BRIDGE_LOG("SKF_OpenApplication success\n");
    SKF_ULONG length = 0;
    rv = SKF_EnumContainer(*application, nullptr, &length);
    if (rv == SAR_OK && length > containerCapacity)
        rv = SAR_BUFFER_TOO_SMALL;
    if (rv == SAR_OK) {
        memset(containerList, 0, containerCapacity);
        rv = SKF_EnumContainer(*application, containerList, &length);
    }
    if (rv != SAR_OK) {
        BRIDGE_LOG("SKF_EnumContainer failed: 0x%08X\n", rv);
        return false;
    }
    containerList[containerCapacity - 1] = '\0';
    *containerLength = length < containerCapacity ? length : containerCapacity;
    BRIDGE_LOG("SKF_EnumContainer success\n");
    return true;
}

QString BridgeProtocol::searchCertificate(BridgeSession& s)
{
    if (!m_loaded || !s.initialized)
        return QString::fromUtf8(kResultEnumFailed);
    char devices[kNameListSize] = {};
    if (!enumerateDevices(s, devices, sizeof(devices)))
        return QString::fromUtf8(kResultEnumFailed);
    char containers[kNameListSize] = {};
    SKF_ULONG containerLength = sizeof(containers);
    HAPPLICATION application = nullptr;
    DEVHANDLE device = nullptr;
    if (!openApplication(devices, containers, &containerLength, &application, &device)) {
        closeHandles(&application, &device);
        return QString::fromUtf8(kResultOpenAppFailed);
    }
    QString result = QString::fromUtf8(kResultNoContainer);
    if (containerLength > 0) {
        BRIDGE_LOG("SKF_EnumContainer Containers:\n");
        size_t offset = 0;
        int number = 1;
        for (long n; (n = nameLength(containers, containerLength, offset)) > 0;
             offset += static_cast<size_t>(n) + 1, ++number) {
            const char* name = containers + offset;
            BRIDGE_LOG("%d. %s\n", number, name);
            result = QString::fromUtf8(kResultSuccess);
            if (!exportCertificate(s, application, name, true) && !exportCertificate(s, application, name, false))
                result = QString::fromUtf8(kResultNoCertificate);
        }
    }
    closeHandles(&application, &device);
    return result;
}

bool BridgeProtocol::exportCertificate(BridgeSession& s, HAPPLICATION application, const char* containerName,
                                       bool signFlag)
{
    const char* kind = signFlag ? "SignCert" : "Exchange";
    BRIDGE_LOG("Open Container Name %s", containerName);
    HCONTAINER container = nullptr;
    SKF_ULONG rv = SKF_OpenContainer(application, containerName, &container);
    if (rv != SAR_OK) {
        BRIDGE_LOG("SKF_OpenContainer failed: 0x%08X\n", rv);
        return false;
    }
    BRIDGE_LOG("SKF_OpenContainer success");
    const SKF_BOOL flag = signFlag ? TRUE : FALSE;
    SKF_ULONG length = 0;
    rv = SKF_ExportCertificate(container, flag, nullptr, &length);
    if (rv != SAR_OK)
        BRIDGE_LOG("SKF_ExportCertificate %s failed: 0x%08X", kind, rv);
    else
        BRIDGE_LOG("SKF_ExportCertificate %s success, ulCertLen=%d", kind, static_cast<int>(length));
    if (rv != SAR_OK || length == 0 || length > kCertBufferSize)
        length = kCertBufferSize;
    std::vector<uint8_t> buffer(kCertBufferSize, 0);
    rv = SKF_ExportCertificate(container, flag, buffer.data(), &length);
    bool exported = rv == SAR_OK;
    if (!exported) {
        BRIDGE_LOG("SKF_ExportCertificate %s failed: 0x%08X\n", kind, rv);
    } else {
        BRIDGE_LOG("SKF_ExportCertificate %s success", kind);
        const size_t decodeLength = length > 0 && length <= kCertBufferSize ? length : kCertBufferSize;
        // Pages ask for subject, serial and date one after the other: the
        // same certificate is decoded once.
        const QByteArray der(reinterpret_cast<const char*>(buffer.data()), static_cast<int>(decodeLength));
        if (der != lastDecodedCert) {
            BridgeCertTexts texts;
            lastDecodedOk = bridgeDecodeCertificate(buffer.data(), decodeLength, &texts);
            lastDecodedCert = der;
            lastDecodedTexts = texts;
        }
        if (lastDecodedOk) {
            s.certSubjectText = lastDecodedTexts.subject;
            s.certSerialText = lastDecodedTexts.serial;
            s.certNotBeforeText = lastDecodedTexts.notBefore;
        } else {
            // Counts as no certificate: the other one, or "没有可用证书".
            BRIDGE_LOG("the %s certificate does not decode", kind);
            exported = false;
        }
    }
    rv = SKF_CloseContainer(container);
    if (rv != SAR_OK) {
        BRIDGE_LOG("SKF_CloseContainer failed: 0x%08X\n", rv);
        exported = false;
    }
    BRIDGE_LOG("SKF_CloseContainer success\n");
    return exported;
}
