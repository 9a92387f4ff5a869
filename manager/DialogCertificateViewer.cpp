#include "DialogCertificateViewer.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QTableWidgetItem>

#include "certs/CertDecode.h"
#include "common/Language.h"
#include "common/LanguageWidgets.h"
#include "common/ZTLog.h"
#include "common/global_def_var.h"
#include "ui_DialogCertificateViewer.h"
#include "WindowFit.h"

namespace {
QString translated(const QString& text)
{
    return QCoreApplication::translate("QDialog", text.toUtf8().constData());
}
}  // namespace

CDialogCertificateViewer::CDialogCertificateViewer(QWidget* parent) : QDialog(parent), ui(new Ui_Dialog_Cert_Viewer)
{
    ui->setupUi(this);
    ui->plainTextEdit->setReadOnly(true);
    ui->tableWidget->setAccessibleName(Language_LoadString(QStringLiteral("A11y_CertFields"), g_szLanguageQmFileName));
    ui->plainTextEdit->setAccessibleName(Language_LoadString(QStringLiteral("A11y_CertValue"), g_szLanguageQmFileName));
    connect(ui->tableWidget, SIGNAL(cellClicked(int, int)), this, SLOT(slot_itemClicked(int, int)));
    // The arrow keys move the current row without a click.
    connect(ui->tableWidget, &QTableWidget::currentCellChanged, this,
            [this](int row, int column, int, int) { if (row >= 0) slot_itemClicked(row, column); });
    connect(ui->pushButton_close, SIGNAL(clicked(bool)), this, SLOT(slot_closedWindow(bool)));
    ui->tableWidget->setColumnCount(2);
    ui->tableWidget->verticalHeader()->setHidden(true);
    ui->tableWidget->setHorizontalHeaderLabels(
        {translated(QStringLiteral("Certificate Field")), translated(QStringLiteral("Field Value"))});
    QHeaderView* header = ui->tableWidget->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    // A value too long for its cell is read whole in the box below.
    ui->tableWidget->setProperty("zvitColumnShownElsewhere", 1);
    fitTableToTexts(ui->tableWidget, 1);
    growToContent(this);
}

CDialogCertificateViewer::~CDialogCertificateViewer()
{
    ui->tableWidget->clear();
    delete ui;
}

long CDialogCertificateViewer::showCertificate(_common_cert_info* record)
{
    const QVector<QPair<QString, QString>> rows = certificateTableRows(record);
    ui->tableWidget->setRowCount(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        ui->tableWidget->setItem(i, 0, new QTableWidgetItem(translated(rows[i].first)));
        // Decoded values may end in a line feed, which the table would draw
        // as an elided second line ("V3…").
        const QString value = translated(rows[i].second).trimmed();
        QTableWidgetItem* valueItem = new QTableWidgetItem(value);
        valueItem->setToolTip(value);
        ui->tableWidget->setItem(i, 1, valueItem);
    }
    fitTableToTexts(ui->tableWidget, 1);
    growToContent(this);
    // Opened from the keyboard, the reader lands on a field and hears its
    // value, instead of on the tab with an empty box below.
    if (!rows.isEmpty()) {
        ui->tableWidget->setCurrentCell(0, 0);
        ui->tableWidget->setFocus();
    }
    return 0;
}

unsigned long CDialogCertificateViewer::initDialogLanguage()
{
    ZTLog::WriteLog(0x1000, "CDialogCertificateViewer", __LINE__, "g_szLanguageQmFileName:%s", g_szLanguageQmFileName);
    return Language_SetDialogStr(ui, &Ui_Dialog_Cert_Viewer::retranslateUi, static_cast<QDialog*>(this),
                                 g_szLanguageQmFileName);
}

void CDialogCertificateViewer::slot_itemClicked(int row, int column)
{
    Q_UNUSED(column);
    // The value, whichever column was clicked.
    QTableWidgetItem* item = ui->tableWidget->item(row, 1);
    if (item)
        ui->plainTextEdit->setPlainText(item->text());
}

void CDialogCertificateViewer::slot_closedWindow(bool checked)
{
    Q_UNUSED(checked);
    done(QDialog::Rejected);
}
