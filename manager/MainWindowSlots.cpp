// The main window's slots: tree nodes, status bar, buttons and web pages.
#include <QDesktopServices>
#include <QFont>
#include <QIcon>
#include <QRegularExpression>
#include <QUrl>
#include <cstring>
#include <ctime>

#include "CertManager.h"
#include "common/KeyEvent.h"
#include "DeviceAccess.h"
#include "common/LanguageWidgets.h"
#include "TranslatedFormat.h"
#include "WindowFit.h"
#include "common/ZTLog.h"
#include "bindings/ZTUtil_fundef.h"
#include "MessageBoxes.h"
#include "MainWindow.h"
#include "common/global_def_var.h"
#include "ui_MainWindow.h"

#define LOG_SOURCE "NEWZUdeVovavadErudsDlg.cpp"

namespace {

const char* kIconOnline = ":/Image/Res/OnLine.png";
const char* kIconBusy = ":/Image/Res/OnLineBusy.png";

QString loadString(const char* key)
{
    return Language_LoadString(QString::fromLatin1(key), g_szLanguageQmFileName);
}

long displayMsg(const char* text, unsigned flags)
{
    QString textKey = QString::fromLatin1(text);
    QString titleKey = QStringLiteral("MessageBox_Title_Notice");
    return DisplayMsg(&textKey, &titleKey, flags, 0);
}

}  // namespace

void UKeyMainWindow::slot_addTreeTopLevelNode(int role, QString stringDeviceLabel, QByteArray szDeviceName)
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "enter slot_addTreeTopLevelNode stringDeviceLabel = %s role = %d",
                    stringDeviceLabel.toUtf8().constData(), role);
    if (role == 1) {
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "ADD Device szDeviceName = %s", szDeviceName.constData());
        QTreeWidgetItem* node = new QTreeWidgetItem();
        node->setText(0, stringDeviceLabel);
        node->setIcon(0, QIcon(kIconOnline));
        node->setData(0, Qt::UserRole, QString::fromUtf8(szDeviceName));
        ui->treeWidget->addTopLevelItem(node);
    } else if (role == 0) {
        ui->treeWidget->clear();
    }
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "leave slot_addTreeTopLevelNode.");
}

void UKeyMainWindow::slot_addTreeSecondaryNode(int role, QByteArray)
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "enter slot_addTreeSecondaryNode ---");
    if (role == 1) {
        for (int i = 0; i < ui->treeWidget->topLevelItemCount(); ++i) {
            QTreeWidgetItem* node = ui->treeWidget->topLevelItem(i);
            char name[ZT_PATH_LEN] = {0};
            const QByteArray stored = node->data(0, Qt::UserRole).toString().toUtf8();
            strncpy(name, stored.constData(), sizeof(name) - 1);
            addCertificatesToUI(name, node);
        }
    } else if (role == 0) {
        ui->treeWidget->clear();
    }
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "leave slot_addTreeSecondaryNode ---");
}

void UKeyMainWindow::setDeviceIcons(QTreeWidgetItem* busy, int column)
{
    for (int i = 0; i < ui->treeWidget->topLevelItemCount(); ++i) {
        QTreeWidgetItem* node = ui->treeWidget->topLevelItem(i);
        node->setIcon(column, QIcon(node == busy ? kIconBusy : kIconOnline));
    }
}

void UKeyMainWindow::showDeviceState(QTreeWidgetItem* item, int column)
{
    ui->pushButton_ViewCert->setEnabled(false);
    setDeviceIcons(item, column);

    const QRegularExpressionMatch match = QRegularExpression("\\((.*?)\\)").match(item->text(column));
    const QByteArray serial = match.hasMatch() ? match.captured(1).toUtf8() : QByteArray();

    char name[ZT_PATH_LEN] = {0};
    const QByteArray stored = item->data(column, Qt::UserRole).toString().toUtf8();
    strncpy(name, stored.constData(), sizeof(name) - 1);
    unsigned long retryCount = 0;
    const unsigned long ret = getCurrentRetryCount(name, &retryCount);

    const char* key = "Enum_FoundDev";
    if (item->childCount() == 0)
        key = "DEV_Not_Have_Cert";
    else if (ret == 0x30001036u)
        key = "Pin_Not_Initialized";
    else if (retryCount == 0)
        key = "Pin_Locked_Notice";
    sendSignal_setStatusBarText(formatTranslated(loadString(key), "sl", serial.constData(), retryCount), 0);
}

void UKeyMainWindow::showCertificateValidity(QTreeWidgetItem* item, int column)
{
    ui->pushButton_ViewCert->setEnabled(true);
    setDeviceIcons(nullptr, column);

    const int index = item->data(0, Qt::UserRole).toInt();
    unsigned char cert[4096] = {0};
    unsigned long length = sizeof(cert);
    const unsigned long ret = m_certManager->readCertFromMemByIndex(cert, &length, index);
    ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "slot_treeWidgetItemClicked iCertIndexInMem:%d", index);
    // An unreadable certificate leaves the status bar as it was.
    if (ret != 0 || length == 0 || length > sizeof(cert))
        return;
    char subject[ZT_PATH_LEN] = {0};
    char issuer[ZT_PATH_LEN] = {0};
    if (m_certManager->GetCertName(cert, length, subject, issuer, nullptr) == 0)
        return;
    struct tm start = {};
    struct tm end = {};
    m_certManager->GetCertExpireDate(cert, length, &start, &end);
    sendSignal_setStatusBarText(formatTranslated(loadString("Validate_Of_The_Certificate"), "dddddd", start.tm_year,
                                                 start.tm_mon, start.tm_mday, end.tm_year, end.tm_mon, end.tm_mday),
                                0);
}

void UKeyMainWindow::slot_treeWidgetItemClicked(QTreeWidgetItem* item, int column)
{
    if (!item)
        return;
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "enter slot_treeWidgetItemClicked ---");
    if (!item->parent())
        showDeviceState(item, column);
    else if (!item->parent()->parent())
        showCertificateValidity(item, column);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "leave slot_treeWidgetItemClicked ---");
}

void UKeyMainWindow::slot_treeItemDoubleClicked(QTreeWidgetItem* item, int)
{
    if (item && item->parent())
        m_certManager->clickedViewCert();
}

void UKeyMainWindow::slot_selectSpecifiedNode(int index)
{
    ui->treeWidget->setItemsExpandable(false);
    ui->treeWidget->expandAll();
    if (index >= 0 && index < ui->treeWidget->topLevelItemCount()) {
        QTreeWidgetItem* node = ui->treeWidget->topLevelItem(index);
        ui->treeWidget->setCurrentItem(node);
        slot_treeWidgetItemClicked(node, 0);
    }
    fitToTexts(this, ui->treeWidget, ui->statusbar);
}

void UKeyMainWindow::slot_displayButton(bool bShow, unsigned long)
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "enter slot_displayButton  bShow=%s", bShow ? "true" : "false");
    ui->pushButton_ChangePin->setEnabled(bShow);
    ui->pushButton_TestSign->setEnabled(bShow);
    ui->pushButton_DownCert->setEnabled(bShow);
    ui->pushButton_Format->setEnabled(bShow);
    ui->pushButton_ViewCert->setEnabled(false);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "leave slot_displayButton  bShow=%s", bShow ? "true" : "false");
}

void UKeyMainWindow::slot_setStatusBarText(QString str, unsigned long)
{
    QFont font;
    font.setPointSize(10);
    ui->statusbar->setFont(font);
    setStatusBarText(ui->statusbar, str, g_szLanguageQmFileName);
    fitToTexts(this, ui->treeWidget, ui->statusbar);
}

void UKeyMainWindow::openConfiguredUrl(const char* key, const char* logFormat, const char* invalidTextKey)
{
    char value[ZT_PATH_LEN] = {0};
    size_t size = sizeof(value);
    if (!ZTUtil_GetIniStringA || ZTUtil_GetIniStringA("UkeyManage", key, "", value, &size, g_szConfigFilePath) != 0)
        value[0] = '\0';
    value[ZT_PATH_LEN - 1] = '\0';
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, logFormat, value);
    const QString text = QString::fromUtf8(value).trimmed();
    const QUrl url = QUrl::fromUserInput(text);
    // An empty or unusable address would open nothing and say nothing.
    if (text.isEmpty() || !url.isValid() || url.scheme().isEmpty()) {
        ZTLog::WriteLog(ZT_LOG_FAILURE, LOG_SOURCE, __LINE__, "%s is not a usable address: '%s'", key, value);
        sendSignal_setStatusBarText(QString::fromLatin1(invalidTextKey), 0);
        return;
    }
    QDesktopServices::openUrl(url);
}

void UKeyMainWindow::slot_openWebBank()
{
    openConfiguredUrl("OpenWebBankUrl", "slot_openWebBank openUrl---- %s", "WebBank_Url_Invalid");
}

void UKeyMainWindow::slot_clickedDownloadCert()
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "enter slot_downloadCert ---");
    if (ui->treeWidget->selectedItems().isEmpty()) {
        displayMsg("Please_Select_Device", 0);
        return;
    }
    if (displayMsg("Cert_Download_Tips", 49) == 1)
        openConfiguredUrl("DownCertUrl", "slot_downloadCert downCertUrl---- %s", "DownCert_Url_Invalid");
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "leave slot_downloadCert ---");
}

void UKeyMainWindow::slot_clickedRefresh()
{
    runThreadUpdateUI(ZT_KEY_EVENT_INIT);
    displayMsg("Refresh_Success", 64);
}

void UKeyMainWindow::slot_clickedViewCert()
{
    m_certManager->clickedViewCert();
}

void UKeyMainWindow::slot_upgradeOnline()
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "upgradeOnline unrealized---");
}
