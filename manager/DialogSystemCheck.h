#pragma once
// System check: operating system, processor, the device monitor daemon, the
// default web browser and the PIN attempts left on every plugged key.
#include <QDialog>

class DeviceModel;
class Ui_Dialog_System_Check;

class Dialog_System_Check : public QDialog
{
    Q_OBJECT

public:
    // devices: the keys to list; none without it.
    explicit Dialog_System_Check(QWidget* parent, const DeviceModel* devices = nullptr);
    ~Dialog_System_Check() override;

    // Time allowed to each command of the check.
    static int s_commandTimeoutMs;

private slots:
    void on_pushButton_ok_clicked();

private:
    void addRow(const QString& name, const QString& value);

    Ui_Dialog_System_Check* ui;
};
