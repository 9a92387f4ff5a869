#include "DialogSystemCheck.h"

#include <QHeaderView>
#include <QSysInfo>
#include <QTableWidgetItem>
#include <QTranslator>
#include <cstring>

#include "CommandOutput.h"
#include "DeviceAccess.h"
#include "DeviceModel.h"
#include "common/LanguageWidgets.h"
#include "TranslatedFormat.h"
#include "WindowFit.h"
#include "common/ZTLog.h"
#include "common/global_def_var.h"
#include "ui_DialogSystemCheck.h"

#define LOG_SOURCE "Dialog_System_Options"

int Dialog_System_Check::s_commandTimeoutMs = 3000;

Dialog_System_Check::Dialog_System_Check(QWidget* parent, const DeviceModel* devices)
    : QDialog(parent), ui(new Ui_Dialog_System_Check)
{
    ui->setupUi(this);
    Language_SetDialogStr(ui, &Ui_Dialog_System_Check::retranslateUi, static_cast<QDialog*>(this),
                          g_szLanguageQmFileName);
    QTranslator translator;
    translator.load(QString::fromUtf8(g_szLanguageQmFileName), QString(), QString(), QString());
    auto text = [&translator](const char* key) {
        const QString t = translator.translate("QDialog", key);
        return t.isEmpty() ? QString::fromLatin1(key) : t;
    };
    ui->pushButton_ok->setText(text("d_ok"));
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "Dialog_System_Check!");

    QTableWidget* table = ui->tableWidget;
    table->setColumnCount(2);
    table->setHorizontalHeaderLabels({text("SystemEquipmentInformation"), text("Status")});
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setHidden(true);

    addRow(text("OSVersion"), QSysInfo::prettyProductName());
    addRow(text("ProcessorArchitecture"), QSysInfo::currentCpuArchitecture());

    const CommandOutput ps = runCommand("ps", {"-ef"}, s_commandTimeoutMs);
    QString daemonState = text("Status_Unavailable");
    if (ps.available) {
        const QByteArray list = ps.output.trimmed();
        const QByteArray upToNul = list.left(list.indexOf('\0') < 0 ? list.size() : list.indexOf('\0'));
        daemonState = text(upToNul.contains("tarndaemon") ? "The daemon has started" : "The daemon did not start");
    }
    addRow(text("CurrentStateOfService"), daemonState);

    const QString attemptsFormat = text("Password remaining retry attempts");
    const QVector<DeviceModel::Key> keys = devices ? devices->pluggedKeys() : QVector<DeviceModel::Key>();
    for (const DeviceModel::Key& key : keys) {
        unsigned long count = 0;
        const unsigned long ret = getCurrentRetryCount(key.deviceName.constData(), &count);
        // An unreadable key has no known count; 0 would read as locked.
        const QString value = (ret == 0 || ret == 0x30001036u) ? formatTranslated(attemptsFormat, "l", count)
                                                              : text("Status_Unavailable");
        addRow(QString::fromLatin1(key.serial), value);
    }
    fitTableToTexts(table);
    growToContent(this);
}

Dialog_System_Check::~Dialog_System_Check()
{
    delete ui;
}

void Dialog_System_Check::addRow(const QString& name, const QString& value)
{
    const int row = ui->tableWidget->rowCount();
    ui->tableWidget->insertRow(row);
    ui->tableWidget->setItem(row, 0, new QTableWidgetItem(name));
    ui->tableWidget->setItem(row, 1, new QTableWidgetItem(value));
}

void Dialog_System_Check::on_pushButton_ok_clicked()
{
    reject();
}
