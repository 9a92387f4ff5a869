#include "registry/Pkcs11SlotManager.h"

#include "CertReader.h"

#include <pthread.h>

#include <QMutex>
#include <QMutexLocker>
#include <cstring>

#include "CertManager.h"
#include "common/ZTLog.h"
#include "bindings/ZTTokenExp_fundef.h"

#define LOG_SOURCE "NEWZUdeVovavadErudsDlg.cpp"

QMap<QString, unsigned long> g_certType;

namespace {

QMutex g_certTypeMutex;

const DWORD kNoCert = 0x10000601u;

uint64_t attributeValue(const unsigned char* buffer)
{
    uint64_t value = 0;
    memcpy(&value, buffer, sizeof(value));
    return value;
}

// Reads one certificate of the container into the store and records its
// container type; false ends the walk.
bool readAndRecord(void* device, uint64_t index, unsigned char type, const char* which)
{
    unsigned char cert[ZTTOKEN_MAX_CERT_LEN] = {0};
    uint64_t length = sizeof(cert);
    DWORD ret = ZTToken_ReadCert(device, index, cert, &length);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "readCertAndWriteItToMemory->ZTToken_ReadCert(). %s dwRet=%x dwCertLen=%d",
                    which, ret, static_cast<int>(length));
    if (ret != 0)
        return false;
    if (length > sizeof(cert))
        length = sizeof(cert);
    char name[ZT_PATH_LEN] = {0};
    certCommonName(cert, static_cast<unsigned long>(length), name);
    certTypeInsert(QString::fromUtf8(name) + QString("+%1").arg(static_cast<long>(index)), type);
    return true;
}

}  // namespace

void certTypeInsert(const QString& key, unsigned long type)
{
    QMutexLocker lock(&g_certTypeMutex);
    g_certType.insert(key, type);
}

unsigned long certTypeOf(const QString& key)
{
    QMutexLocker lock(&g_certTypeMutex);
    return g_certType.value(key, 0);
}

DWORD readCertAndWriteItToMemory(void* device)
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "enter readCertAndWriteItToMemory *********++++++++++++");
    uint64_t startIndex = 0;
    for (;;) {
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "while---");
        void* container = nullptr;
        DWORD ret = ZTToken_EnumContainer(device, 255, &startIndex, &container);
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "ZTToken_EnumContainer dwRet=%x  ---dwStartIndex=%d", ret,
                        static_cast<int>(startIndex));
        if (ret != 0)
            break;

        char containerName[ZT_PATH_LEN] = {0};
        uint64_t length = sizeof(containerName) - 1;  // always terminated
        ret = ZTToken_GetContainerAttr(container, ZTTOKEN_CONTATTR_NAME, containerName, &length);
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "ZTToken_GetContainerName dwRet=%x szContainerName=%s", ret,
                        containerName);
        if (ret != 0)
            break;

        unsigned char value[8] = {0};
        length = sizeof(value);
        ret = ZTToken_GetContainerAttr(container, ZTTOKEN_CONTATTR_TYPE, value, &length);
        const unsigned char type = value[0];
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "GetContainerType szContainerName=%s type=%d", containerName,
                        type);
        if (ret != 0)
            break;

        uint64_t state = 0xFFFFFFFFu;
        memcpy(value, &state, sizeof(value));
        length = sizeof(value);
        ZTToken_GetContainerAttr(container, ZTTOKEN_CONTATTR_STATE, value, &length);
        if (attributeValue(value) != ZTTOKEN_CONTAINER_READY)
            continue;

        memset(value, 0, sizeof(value));
        length = sizeof(value);
        ret = ZTToken_GetContainerAttr(container, ZTTOKEN_CONTATTR_EXCH_INDEX, value, &length);
        const uint64_t exchangeIndex = attributeValue(value);
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__,
                        "readCertAndWriteItToMemory->ZTToken_GetCertIndexFormContainer  AT_KEYEXCHANGE dwRet=%x "
                        "dwExChangeCertIndex=%d",
                        ret, static_cast<int>(exchangeIndex));
        if (ret != 0 && ret != kNoCert)
            break;
        if (ret == 0 && !readAndRecord(device, exchangeIndex, type, "AT_KEYEXCHANGE."))
            break;

        memset(value, 0, sizeof(value));
        length = sizeof(value);
        ret = ZTToken_GetContainerAttr(container, ZTTOKEN_CONTATTR_SIGN_INDEX, value, &length);
        const uint64_t signatureIndex = attributeValue(value);
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__,
                        "readCertAndWriteItToMemory->ZTToken_GetCertIndexFormContainer AT_SIGNATURE dwRet=%x "
                        "dwExChangeCertIndex=%d",
                        ret, static_cast<int>(exchangeIndex));
        if (ret == kNoCert)
            continue;
        if (ret != 0)
            break;
        if (!readAndRecord(device, signatureIndex, type, "AT_SIGNATURE"))
            break;
    }
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "leave readCertAndWriteItToMemory blRet=%d", 0);
    return 0;
}

namespace {
// One key's certificates into the memory store at a time: passes overlap.
pthread_mutex_t g_certReadLock = PTHREAD_MUTEX_INITIALIZER;
}  // namespace

DWORD readDeviceCerts(unsigned long slot)
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "enter readDeviceCerts, SlotID=%d", static_cast<int>(slot));
    pthread_mutex_lock(&g_certReadLock);
    char name[ZT_PATH_LEN] = {0};
    if (SlotManagerGetSlotName(static_cast<int>(slot), name) != 0) {
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "readDeviceCerts->SlotManagerGetSlotName szDevName=%s", name);
        pthread_mutex_unlock(&g_certReadLock);
        return 0;
    }
    name[ZT_PATH_LEN - 1] = '\0';
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__,
                    "readDeviceCerts->SlotManagerGetSlotName successed szDevName=%s  SlotID=%d", name,
                    static_cast<int>(slot));
    void* device = nullptr;
    if (ZTToken_OpenDeviceByNameAndSetSlotID(name, &device, slot) == 0)
        readCertAndWriteItToMemory(device);
    if (device)
        ZTToken_CloseDevice(device);
    pthread_mutex_unlock(&g_certReadLock);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "leave readDeviceCerts\n");
    return 0;
}

bool certCommonName(const unsigned char* der, unsigned long length, char* name)
{
    if (!name)
        return false;
    CCertManager names(nullptr, nullptr);
    return names.GetCertName(const_cast<unsigned char*>(der), length, name, nullptr, nullptr) != 0;
}
