// Sign test, format, set-PIN prompt, options and about: entry points of the
// main window.
#include "registry/Pkcs11SlotManager.h"

#include <QTreeWidget>
#include <cstring>

#include "DeviceAccess.h"
#include "WindowGlobals.h"
#include "DeviceModel.h"
#include "DialogAbout.h"
#include "DialogSystemOptions.h"
#include "OperationMessages.h"
#include "TranslatedFormat.h"
#include "common/ZTLog.h"
#include "bindings/ZTTokenExp_fundef.h"
#include "bindings/ZTUIExtend_fundef.h"
#include "MessageBoxes.h"
#include "MainWindow.h"
#include "common/global_def_var.h"
#include "ui_MainWindow.h"

#define LOG_SOURCE "NEWZUdeVovavadErudsDlg"

namespace {

const uint32_t kPinNeverChanged = 0x30001036u;

QTreeWidgetItem* selectedDeviceNode(QTreeWidget* tree)
{
    const QList<QTreeWidgetItem*> selected = tree->selectedItems();
    if (selected.isEmpty())
        return nullptr;
    QTreeWidgetItem* node = selected.first();
    return node->parent() ? node->parent() : node;
}

// The device name of the model's selected key.
void deviceNameOf(const KeySelection& selection, char name[ZT_PATH_LEN])
{
    memset(name, 0, ZT_PATH_LEN);
    strncpy(name, selection.deviceName.constData(), ZT_PATH_LEN - 1);
}

}  // namespace

void UKeyMainWindow::slot_clickedSignTest()
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "enter sendSingal_verifyPin ---");
    QTreeWidgetItem* item = ui->treeWidget->selectedItems().isEmpty() ? nullptr : ui->treeWidget->selectedItems().first();
    if (!item) {
        showNotice("Please_Select_Device", 0);
        return;
    }
    if (!item->parent() && item->childCount() == 0) {
        const QByteArray serial = serialOfNodeText(item->text(0));
        showNoticeText(formatTranslated(localizedText("DEV_Not_Have_Cert"), "s", serial.constData()), 0);
        return;
    }
    char name[ZT_PATH_LEN];
    deviceNameOf(m_devices->selection(), name);
    unsigned long count = 0;
    const unsigned long ret = getCurrentRetryCount(name, &count);
    if (ret == kPinNeverChanged) {
        if (showSetPinDialog(name, "Device_Not_Set_Password") == 0)
            emit signal_verifyPinForSign();
    } else if (ret == 0) {
        // The verification reads the record itself and tells a locked key
        // from one that must be formatted first.
        emit signal_verifyPinForSign();
    } else {
        // Unreadable is not the same as locked.
        showNotice("Device_Read_Failed", 0x10);
        return;
    }
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "leave sendSingal_verifyPin ---");
}

void UKeyMainWindow::slot_clickedInitToken()
{
    ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "enter slot_clickedInitToken");
    QTreeWidgetItem* node = selectedDeviceNode(ui->treeWidget);
    if (!node) {
        showNotice("Please_Select_Device", 0);
        return;
    }
    char name[ZT_PATH_LEN];
    deviceNameOf(m_devices->selection(), name);
    const QByteArray serial = serialOfNodeText(node->text(0));
    const QByteArray second = formatTranslated(localizedText("Format_Prompt_Two"), "s", serial.constData()).toUtf8();

    if (MessageBox(this, "Format_Prompt_One", "MessageBox_Title_Notice", 0x31, "Continue_Formatting_Btn") != 1)
        return;
    if (MessageBox(this, second.constData(), "MessageBox_Title_Notice", 0x31, "Confirm_Formatting_Btn") != 1)
        return;

    void* handle = nullptr;
    getDeviceHandleByName(&handle, name);
    const uint32_t ret = fn_ZTUIEx_InitTokenWithDefConfig(handle, 0);
    ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "call fn_ZTUIEx_InitToken dwRet=%x", ret);
    // The memory store still holds the erased certificates; the next pass
    // only adds what it reads.
    uint64_t slot = 0;
    uint64_t slotLength = sizeof(slot);
    if (ret == 0 && ZTToken_ClearMemInfo &&
        ZTToken_GetDeviceAttr(handle, ZTTOKEN_DEVATTR_SLOT, &slot, &slotLength) == 0)
        ZTToken_ClearMemInfo(slot, ZTTOKEN_MEMINFO_CERTS);
    // Close before the prompt: it opens the key again by name.
    if (handle)
        ZTToken_CloseDevice(handle);
    if (ret == 0)
        showSetPinDialog(name, "Format_Success");
    else
        showNotice("Format_Failed", 0x10);
    runThreadUpdateUI(ZT_KEY_EVENT_INIT);
    ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "leave slot_clickedInitToken dwRet=%x", ret);
}

unsigned long UKeyMainWindow::showSetPinDialog(const char* deviceName, const char* promptKey)
{
    void* handle = nullptr;
    getDeviceHandleByName(&handle, deviceName);
    uint8_t record[ZTTOKEN_PININFO_LEN] = {0};
    unsigned long ret = 0;
    if (!readUserPinInfo(handle, record)) {
        ret = ZT_ERR_LANG_OR_PININFO;
    } else if (record[ZTTOKEN_PININFO_CHANGED] != 0) {
        ret = 0;
    } else if (record[ZTTOKEN_PININFO_INITIALISED] == 0) {
        // The library would refuse the PIN: no prompt the user cannot follow.
        showNotice("InitToken_Needed", 0x10);
        ret = ZTUIEX_ERR_NOT_INITIALISED;
    } else if (record[ZTTOKEN_PININFO_RETRIES] == 0) {
        showNotice("Pin_Locked", 0x10);
        ret = ZTUIEX_ERR_PIN_LOCKED;
    } else if (MessageBox(this, promptKey, "MessageBox_Title_Notice", 0x31, "Set_Pin_Btn") != 1) {
        ret = ZTUIEX_ERR_SET_CANCELLED;
    } else {
        ret = fn_ZTUIEx_SetPin(handle, ZTUIEX_PIN_USER);
        reportPinDialog(PinDialogKind::SetPrompt, static_cast<uint32_t>(ret), record[ZTTOKEN_PININFO_MAX_RETRIES]);
    }
    if (handle) {
        ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "ZTToken_CloseDevice.");
        ZTToken_CloseDevice(handle);
    }
    ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "leave showSetPinDialog dwRet=%x", static_cast<unsigned>(ret));
    return ret;
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

void UKeyMainWindow::slot_systemOptions()
{
    const QVector<DeviceModel::Key> keys = m_devices->pluggedKeys();
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "slot_systemOptions g_szSNNew--- %.20s",
                    keys.isEmpty() ? "" : keys.first().serial.constData());
    Dialog_System_Options dialog(this, m_devices);
    dialog.exec();
}

void UKeyMainWindow::slot_showAboutDialog()
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "slot_showAboutDialog");
    Dialog_About dialog(this);
    dialog.exec();
}
