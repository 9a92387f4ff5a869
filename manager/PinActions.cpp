// Sign test, format and set-PIN entry points of the main window. The
// operations themselves come with the PIN and format work; these keep the
// buttons and the forced set-PIN request wired meanwhile.
// The registry layout names a field "slots": it must be seen before Qt's keyword.
#include "Pkcs11SlotManager.h"

#include "DeviceAccess.h"
#include "DeviceTables.h"
#include "ZTLog.h"
#include "ZUdeVovavadErudsDlg.h"

#define LOG_SOURCE "NEWZUdeVovavadErudsDlg"

void UKeyMainWindow::slot_clickedSignTest()
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "slot_clickedSignTest not available yet");
}

void UKeyMainWindow::slot_clickedInitToken()
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "enter slot_clickedInitToken");
}

unsigned long UKeyMainWindow::showSetPinDialog(const char* deviceName, const char* promptKey)
{
    ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "showSetPinDialog %s %s not available yet",
                    deviceName ? deviceName : "", promptKey ? promptKey : "");
    return 0;
}

void UKeyMainWindow::slot_setPinBySlotID(int slotID)
{
    ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "enter slot_setPinBySlotID:%d", slotID);
    char name[ZT_PATH_LEN] = {0};
    if (SlotManagerGetSlotName(slotID, name) != 0) {
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "slot_setPinBySlotID->SlotManagerGetSlotName szDevName=%s",
                        name);
        return;
    }
    name[ZT_PATH_LEN - 1] = '\0';
    showSetPinDialog(name, "Device_Not_Set_Password");
}

void UKeyMainWindow::slot_showSetPinDialog(const char* szDeviceName)
{
    ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "enter slot_showSetPinDialog DeviceName=%s",
                    szDeviceName ? szDeviceName : "");
    showSetPinDialog(szDeviceName, "Device_Not_Set_Password");
    ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "leave slot_showSetPinDialog.");
}

void UKeyMainWindow::slot_systemOptions()
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "slot_systemOptions g_szSNNew--- %.20s", g_szSNNew[0]);
}

void UKeyMainWindow::slot_showAboutDialog()
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "slot_showAboutDialog");
}
