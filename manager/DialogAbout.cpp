#include "DialogAbout.h"

#include <QPixmap>

#include "ConfigValues.h"
#include "WindowFit.h"
#include "common/LanguageWidgets.h"
#include "OperationMessages.h"
#include "common/global_def_var.h"
#include "ui_DialogAbout.h"

Dialog_About::Dialog_About(QWidget* parent) : QDialog(parent), ui(new Ui_Dialog_About)
{
    ui->setupUi(this);
    Language_SetDialogStr(ui, &Ui_Dialog_About::retranslateUi, static_cast<QDialog*>(this), g_szLanguageQmFileName);

    ui->label_LogoJPG->setFixedSize(32, 32);
    ui->label_LogoJPG->setPixmap(QPixmap(":/Image/Res/logo.ico").scaled(ui->label_LogoJPG->size()));
    ui->label_ProductName->setText(localizedText("Product_Name"));
    ui->label_ProductVersion->setText(QStringLiteral("Version ") +
                                      QString::fromUtf8(readConfigString("ZTTokenInfo", "ProductVersion", "1.0")));
    ui->label_Copyrights->setText(QString::fromUtf8(readConfigString("ZTTokenInfo", "Copyright", "1.0")));
    growToContent(this);
}

Dialog_About::~Dialog_About()
{
    delete ui;
}
