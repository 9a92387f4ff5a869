#pragma once
// The manager's one main window: the tree of plugged keys and their
// certificates, the action buttons and the status bar. It follows its device
// model, whose update passes run on worker threads and reach it by queued
// signals.
#include <QByteArray>
#include <QMainWindow>
#include <QString>

class QTreeWidgetItem;
class CCertManager;
class DeviceModel;
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

    // Starts an update pass of the device model (a ZTKeyEvent).
    void runThreadUpdateUI(int position);
    DeviceModel* devices() const { return m_devices; }

    void addCertificatesToUI(char* deviceName, QTreeWidgetItem* deviceNode);

    // Set-PIN prompt of the PIN operations.
    unsigned long showSetPinDialog(const char* deviceName, const char* promptKey);

    Ui::UKeyMainWindow* form() const { return ui; }

    void sendSignal_setStatusBarText(QString str, unsigned long lParam);

public slots:
    void slot_showAboutDialog();

signals:
    void signal_setStatusBarText(QString str, unsigned long lParam);
    void signal_verifyPinForSign();

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
    void slot_selectSpecifiedNode(int index);

private:
    void connectSignals();
    void followDeviceModel();
    // The tree's selected node into the model's selection.
    void updateSelection();
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
    DeviceModel* m_devices;
    CCertManager* m_certManager;
    PinOperations* m_pinOperations;
};
