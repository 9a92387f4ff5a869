#include "DialogSystemOptions.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>

#include "bridge/BridgeConfig.h"
#include "ConfigValues.h"
#include "WindowFit.h"
#include "DialogSystemCheck.h"
#include "common/LanguageWidgets.h"
#include "OperationMessages.h"
#include "common/UserSettings.h"
#include "common/ZTLog.h"
#include "common/global_def_var.h"
#include "ui_DialogSystemOptions.h"

#define LOG_SOURCE "Dialog_System_Options"

namespace {

struct RememberedList {
    const char* key;
    const char* textKey;  // "%1" is the origin
};
const RememberedList kRememberedLists[] = {
    {"RememberedAllowedSites", "site_allowed"},
    {"RememberedDeniedSites", "site_denied"},
};

}  // namespace

Dialog_System_Options::Dialog_System_Options(QWidget* parent, const DeviceModel* devices)
    : QDialog(parent), ui(new Ui_Dialog_System_Options), m_devices(devices)
{
    ui->setupUi(this);
    Language_SetDialogStr(ui, &Ui_Dialog_System_Options::retranslateUi, static_cast<QDialog*>(this),
                          g_szLanguageQmFileName);
    ui->checkBox_openWebPageAtStartup->setChecked(readConfigUInt("UkeyManage", "OpenWebPageAtStartup", 1) != 0);
    connect(ui->pushButton_systemCheck, SIGNAL(clicked()), this, SLOT(slot_openSystemDetectionDialog()));
    connect(ui->pushButton_forgetSite, &QPushButton::clicked, this, &Dialog_System_Options::forgetSelectedSite);
    connect(ui->listWidget_rememberedSites, &QListWidget::itemSelectionChanged, this,
            [this] { ui->pushButton_forgetSite->setEnabled(ui->listWidget_rememberedSites->currentItem()); });
    listRememberedSites();
    fitToContent(this);
}

void Dialog_System_Options::listRememberedSites()
{
    ui->listWidget_rememberedSites->clear();
    for (const RememberedList& list : kRememberedLists) {
        for (const QString& origin : readUserList(ZT_BRIDGE_SECTION, list.key)) {
            auto* item = new QListWidgetItem(
                Language_LoadContextString("Dialog_System_Options", list.textKey, g_szLanguageQmFileName).arg(origin));
            item->setData(Qt::UserRole, origin);
            item->setData(Qt::UserRole + 1, QByteArray(list.key));
            ui->listWidget_rememberedSites->addItem(item);
        }
    }
    ui->pushButton_forgetSite->setEnabled(false);
}

// Forgetting takes effect at once, like the choice it undoes: the next page of
// that site is asked again.
void Dialog_System_Options::forgetSelectedSite()
{
    QListWidgetItem* item = ui->listWidget_rememberedSites->currentItem();
    if (!item)
        return;
    const QByteArray key = item->data(Qt::UserRole + 1).toByteArray();
    QStringList origins = readUserList(ZT_BRIDGE_SECTION, key.constData());
    origins.removeAll(item->data(Qt::UserRole).toString());
    const uint32_t ret = writeUserList(ZT_BRIDGE_SECTION, key.constData(), origins);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, " forget site %s dwRet:%d",
                    item->data(Qt::UserRole).toString().toUtf8().constData(), ret);
    if (ret != 0)
        showNotice("Options_Save_Failed", 0x10);
    listRememberedSites();
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
    Dialog_System_Check check(nullptr, m_devices);
    check.exec();
}
