#include "registry/Pkcs11SlotManager.h"

#include "DeviceAccess.h"

#include "KeySelection.h"
#include <cstring>

#include "common/ZTLog.h"
#include "bindings/ZTTokenExp_fundef.h"

#define LOG_SOURCE "NEWZUdeVovavadErudsDlg.cpp"

namespace {

void openBySlotOfName(void** handle, char* name, const char* logOpened, const char* logFailed)
{
    int slot = 0;
    if (SlotManagerGetSlotByName(&slot, name, ZT_SLOT_COUNT) != 0 || slot < 0 || slot >= ZT_SLOT_COUNT)
        slot = 0;
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, logOpened, name, slot);
    if (ZTToken_OpenDeviceByNameAndSetSlotID(name, handle, static_cast<uint64_t>(slot)) != 0) {
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, logFailed, name);
        *handle = nullptr;
    }
}

}  // namespace

void getDeviceHandleByName(void** handle, const char* deviceName)
{
    if (!handle)
        return;
    char name[ZT_PATH_LEN] = {0};
    if (deviceName)
        strncpy(name, deviceName, sizeof(name) - 1);
    openBySlotOfName(handle, name, "getDeviceHandleByName szDevName_Ansi=%s, slot = %d",
                     "leave getDeviceHandleByName failed. szDevName_Ansi=%s \n");
}

void getDeviceHandleBySelectedNode(const KeySelection& selection, void** handle)
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "enter getDeviceHandleBySelectedNode ---");
    if (!handle)
        return;
    if (!selection.hasKey()) {
        ZTLog::WriteLog(ZT_LOG_STEP, "ZTZUdeVovavadErudsDlg.cpp", __LINE__,
                        "leave getDeviceHandleBySelectedNode not selected!");
        return;
    }
    char name[ZT_PATH_LEN] = {0};
    strncpy(name, selection.deviceName.constData(), sizeof(name) - 1);
    openBySlotOfName(handle, name, "getDeviceHandleBySelectedNode szDevName_Ansi=%s, slot = %d \n",
                     "leave getDeviceHandleBySelectedNode failed. szDevName_Ansi=%s \n");
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "leave getDeviceHandleBySelectedNode successed.");
}

unsigned long getCurrentRetryCount(const char* deviceName, unsigned long* retryCount)
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "getCurrentRetryCount---");
    void* handle = nullptr;
    getDeviceHandleByName(&handle, deviceName);
    uint8_t record[ZTTOKEN_PININFO_LEN] = {0};
    uint64_t length = sizeof(record);
    DWORD ret = ZTToken_GetPinInfo(handle, ZTTOKEN_PIN_USER, record, &length);
    if (handle)
        ZTToken_CloseDevice(handle);
    if (ret != 0) {
        ZTLog::WriteLog(ZT_LOG_FAILURE, LOG_SOURCE, __LINE__,
                        "getCurrentRetryCount pfn_ZTToken_GetPinInfo failed ! dwRet=%d", static_cast<int>(ret));
        return ZT_ERR_LANG_OR_PININFO;
    }
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__,
                    "getCurrentRetryCount debug currentRetryCount %d, isChanged:%d ---", record[1], record[2]);
    if (retryCount)
        *retryCount = (record[2] != 0 && record[5] == 0) ? 0 : record[1];
    return record[2] == 0 ? 0x30001036u : 0;
}
