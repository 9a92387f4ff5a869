#pragma once
// The manager's one main window: the tree of plugged keys and their
// certificates, the action buttons and the status bar. Worker threads change
// it only through the signals below, which Qt queues to the GUI thread.
#include <QByteArray>
#include <QMainWindow>
#include <QString>

class QTreeWidgetItem;
class CCertManager;
class PinOperations;

namespace Ui {
class UKeyMainWindow;
}

class UKeyMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit UKeyMainWindow(QWidget* parent = nullptr);
    ~UKeyMainWindow() override;

    long initDialog();
    // Why initDialog failed, as a text key and its detail; null when it did not.
    const char* startupFailureKey() const { return m_startupFailureKey; }
    const QString& startupFailureDetail() const { return m_startupFailureDetail; }
    long initLanguage();
    void hide_MainWindow();
    void show_MainWindow();

    void initThreadMutex();
    void destroyThreadMutex();
    void runThreadWaitForSlotChanged();
    void runThreadUpdateUI(int position);

    // Opens the key of the tree's selected node (or of its parent); *handle
    // stays as given when nothing is selected, null when opening fails.
    void getDeviceHandleBySelectedNode(void** handle);
    void addCertificatesToUI(char* deviceName, QTreeWidgetItem* deviceNode);

    // Set-PIN prompt of the PIN operations.
    unsigned long showSetPinDialog(const char* deviceName, const char* promptKey);

    Ui::UKeyMainWindow* form() const { return ui; }

    // Emitters for worker code.
    void sendSignal_addDeviceToUI(int role, QString stringDeviceLabel, QByteArray szDeviceName);
    void sendSignal_addCertNodeToUI(int role, QByteArray szDeviceName);
    void sendSignal_displayButton(bool bShow, unsigned long dwButtonFlag);
    void sendSignal_openWebBank();
    void sendSignal_setStatusBarText(QString str, unsigned long lParam);
    void sendSignal_verifyPinForSign();
    void sendSignal_setPinBySlotID(int slotID);
    void sendSignal_showSetPinDialog(const char* szDeviceName);
    void sendSignal_selectSpecifiedNode(int index);

public slots:
    void slot_showAboutDialog();

signals:
    // Device names cross threads as copies: a later pass may rewrite the
    // process-wide table before a queued delivery runs.
    void signal_addDeviceToUI(int role, QString stringDeviceLabel, QByteArray szDeviceName);
    void signal_addCertNodeToUI(int role, QByteArray szDeviceName);
    void signal_displayButton(bool bShow, unsigned long dwButtonFlag);
    void signal_openWebBank();
    void signal_setStatusBarText(QString str, unsigned long lParam);
    void signal_verifyPinForSign();
    void signal_setPinBySlotID(int slotID);
    void signal_showSetPinDialog(const char* szDeviceName);
    void signal_selectSpecifiedNode(int index);

private slots:
    void slot_addTreeTopLevelNode(int role, QString stringDeviceLabel, QByteArray szDeviceName);
    void slot_addTreeSecondaryNode(int role, QByteArray szDeviceName);
    void slot_treeWidgetItemClicked(QTreeWidgetItem* item, int column);
    void slot_treeItemDoubleClicked(QTreeWidgetItem* item, int column);
    void slot_setStatusBarText(QString str, unsigned long lParam);
    void slot_displayButton(bool bShow, unsigned long dwButtonFlag);
    void slot_clickedViewCert();
    void slot_clickedRefresh();
    void slot_openWebBank();
    void slot_clickedDownloadCert();
    void slot_clickedSignTest();
    void slot_upgradeOnline();
    void slot_systemOptions();
    void slot_clickedInitToken();
    void slot_setPinBySlotID(int slotID);
    void slot_showSetPinDialog(const char* szDeviceName);
    void slot_selectSpecifiedNode(int index);

private:
    void connectSignals();
    void loadBanner();
    void showDeviceState(QTreeWidgetItem* item, int column);
    void showCertificateValidity(QTreeWidgetItem* item, int column);
    void setDeviceIcons(QTreeWidgetItem* busy, int column);
    // Opens the configured page, or says on the status bar why it cannot.
    void openConfiguredUrl(const char* key, const char* logFormat, const char* invalidTextKey);

    long failStartup(unsigned long code, const char* textKey, const QString& detail);

    Ui::UKeyMainWindow* ui;
    const char* m_startupFailureKey = nullptr;
    QString m_startupFailureDetail;
    CCertManager* m_certManager;
    PinOperations* m_pinOperations;
};
