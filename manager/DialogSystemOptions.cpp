#include "DialogSystemOptions.h"

#include "ConfigValues.h"
#include "DialogSystemCheck.h"
#include "LanguageWidgets.h"
#include "OperationMessages.h"
#include "ZTLog.h"
#include "global_def_var.h"
#include "ui_DialogSystemOptions.h"

#define LOG_SOURCE "Dialog_System_Options"

Dialog_System_Options::Dialog_System_Options(QWidget* parent) : QDialog(parent), ui(new Ui_Dialog_System_Options)
{
    ui->setupUi(this);
    Language_SetDialogStr(ui, &Ui_Dialog_System_Options::retranslateUi, static_cast<QDialog*>(this),
                          g_szLanguageQmFileName);
    ui->checkBox_openWebPageAtStartup->setChecked(readConfigUInt("UkeyManage", "OpenWebPageAtStartup", 1) != 0);
    connect(ui->pushButton_systemCheck, SIGNAL(clicked()), this, SLOT(slot_openSystemDetectionDialog()));
}

Dialog_System_Options::~Dialog_System_Options()
{
    delete ui;
}

void Dialog_System_Options::ok()
{
    const uint32_t state = ui->checkBox_openWebPageAtStartup->isChecked() ? 1 : 0;
    const uint32_t ret = writeConfigUInt("UkeyManage", "OpenWebPageAtStartup", state);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, " write OpenWebPageAtStartup %d dwRet:%d", state, ret);
    // Closing as if saved would hide the lost setting: the dialog stays open.
    if (ret != 0) {
        showNotice("Options_Save_Failed", 0x10);
        return;
    }
    accept();
}

void Dialog_System_Options::cancel()
{
    reject();
}

void Dialog_System_Options::slot_openSystemDetectionDialog()
{
    Dialog_System_Check check(nullptr);
    check.exec();
}
