#pragma once
// Options: whether the bank's web page opens at start-up, the web sites whose
// answer the user asked to remember, and the way to the system check.
#include <QDialog>

class Ui_Dialog_System_Options;

class Dialog_System_Options : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog_System_Options(QWidget* parent);
    ~Dialog_System_Options() override;

public slots:
    void ok();
    void cancel();
    void slot_openSystemDetectionDialog();

private:
    void listRememberedSites();
    void forgetSelectedSite();

    Ui_Dialog_System_Options* ui;
};
