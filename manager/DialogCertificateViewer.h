#pragma once
// Modal viewer of one certificate: the eight decoded fields in a table, the
// clicked row's value in a text box below.
#include <QDialog>

#include "certs/CommonCertInfo.h"

class Ui_Dialog_Cert_Viewer;

class CDialogCertificateViewer : public QDialog
{
    Q_OBJECT

public:
    explicit CDialogCertificateViewer(QWidget* parent);
    ~CDialogCertificateViewer() override;

    long showCertificate(_common_cert_info* record);
    unsigned long initDialogLanguage();

public slots:
    void slot_itemClicked(int row, int column);
    void slot_closedWindow(bool checked);

private:
    Ui_Dialog_Cert_Viewer* ui;
};
