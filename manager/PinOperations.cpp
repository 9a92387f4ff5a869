#include "PinOperations.h"

#include "DeviceAccess.h"
#include "KeySelection.h"
#include "OperationMessages.h"
#include "common/ZTCommonDef.h"
#include "common/ZTLog.h"
#include "bindings/ZTTokenExp_fundef.h"
#include "bindings/ZTUIExtend_fundef.h"

#define LOG_SOURCE "DAzoZidozuz"

PinOperations::PinOperations(const KeySelection* selection, QObject* parent) : QObject(parent), m_selection(selection)
{
}

namespace {

// Opens the selected key and reads its PIN record. A key that vanished or
// cannot be read is said so rather than ignored.
void* openSelectedWithPinInfo(const KeySelection* selection, uint8_t record[ZTTOKEN_PININFO_LEN])
{
    if (!selection || !selection->hasKey()) {
        showNotice("Please_Select_Device", 0);
        return nullptr;
    }
    void* handle = nullptr;
    getDeviceHandleBySelectedNode(*selection, &handle);
    if (handle && readUserPinInfo(handle, record))
        return handle;
    ZTLog::WriteLog(ZT_LOG_FAILURE, LOG_SOURCE, __LINE__, "PIN information of the selected key unreadable");
    if (handle)
        ZTToken_CloseDevice(handle);
    showNotice("Device_Read_Failed", 0x10);
    return nullptr;
}

// Uninitialised or locked keys get no dialog.
bool pinUsable(const uint8_t record[ZTTOKEN_PININFO_LEN])
{
    if (record[ZTTOKEN_PININFO_INITIALISED] == 0) {
        showNotice("InitToken_Needed", 0x10);
        return false;
    }
    if (record[ZTTOKEN_PININFO_RETRIES] == 0) {
        showNotice("Pin_Locked", 0x10);
        return false;
    }
    return true;
}

}  // namespace

void PinOperations::slot_verifyPinForSign()
{
    uint8_t record[ZTTOKEN_PININFO_LEN] = {0};
    void* handle = openSelectedWithPinInfo(m_selection, record);
    if (!handle)
        return;
    if (pinUsable(record)) {
        ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "slot_verifyPin()");
        const uint32_t ret = fn_ZTUIEx_VerifyPin(handle, ZTUIEX_PIN_USER);
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "fn_ZTUIEx_VerifyPin dwRet=%x", ret);
        reportPinDialog(PinDialogKind::Verify, ret, record[ZTTOKEN_PININFO_MAX_RETRIES]);
    }
    ZTToken_CloseDevice(handle);
}

void PinOperations::slot_changePin()
{
    uint8_t record[ZTTOKEN_PININFO_LEN] = {0};
    void* handle = openSelectedWithPinInfo(m_selection, record);
    if (!handle)
        return;
    if (pinUsable(record)) {
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "pin_Info.isChanged %d", record[ZTTOKEN_PININFO_CHANGED]);
        uint32_t ret;
        if (record[ZTTOKEN_PININFO_CHANGED] != 0) {
            ret = fn_ZTUIEx_ChangePin(handle, ZTUIEX_PIN_USER);
        } else {
            ret = fn_ZTUIEx_SetPin(handle, ZTUIEX_PIN_USER);
            ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "call fn_ZTUIEx_SetPin %x", ret);
        }
        reportPinDialog(PinDialogKind::Change, ret, record[ZTTOKEN_PININFO_MAX_RETRIES]);
    }
    ZTToken_CloseDevice(handle);
}
