#pragma once
// Options: whether the bank's web page opens at start-up, the web sites whose
// answer the user asked to remember, and the way to the system check.
#include <QDialog>

class DeviceModel;
class Ui_Dialog_System_Options;

class Dialog_System_Options : public QDialog
{
    Q_OBJECT

public:
    // devices: what the system check lists; it outlives the dialog.
    explicit Dialog_System_Options(QWidget* parent, const DeviceModel* devices = nullptr);
    ~Dialog_System_Options() override;

public slots:
    void ok();
    void cancel();
    void slot_openSystemDetectionDialog();

private:
    void listRememberedSites();
    void forgetSelectedSite();

    Ui_Dialog_System_Options* ui;
    const DeviceModel* m_devices;
};
