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

    // As large beside the texts at 200 % as at 100 %, drawn from the 2x picture.
    const int side = qMax(32, 32 * logicalDpiY() / 96);
    ui->label_LogoJPG->setFixedSize(side, side);
    const qreal ratio = devicePixelRatioF();
    const int pixels = qRound(side * ratio);
    QPixmap logo(QString::fromLatin1(pixels > 32 ? ":/Image/Res/logo@2x.ico" : ":/Image/Res/logo.ico"));
    logo = logo.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    logo.setDevicePixelRatio(ratio);
    ui->label_LogoJPG->setPixmap(logo);
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
