#pragma once
// About box: product name, version and copyright from the configuration.
#include <QDialog>

class Ui_Dialog_About;

class Dialog_About : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog_About(QWidget* parent);
    ~Dialog_About() override;

private:
    Ui_Dialog_About* ui;
};
