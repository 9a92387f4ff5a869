#include "MessageBoxes.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <cstring>

#include "common/ZTCommonDef.h"
#include "bindings/ZTUIExtend_fundef.h"
#include "common/global_def_var.h"

namespace {

void toBuffer(const QString* text, char* buffer)
{
    memset(buffer, 0, ZT_PATH_LEN);
    if (!text)
        return;
    const QByteArray utf8 = text->toUtf8();
    // Never cut a multi-byte character in two.
    int n = qMin(utf8.size(), ZT_PATH_LEN - 1);
    while (n > 0 && n < utf8.size() && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80)
        --n;
    memcpy(buffer, utf8.constData(), static_cast<size_t>(n));
}

QString tr(const char* key)
{
    return QCoreApplication::translate("QObject", key ? key : "");
}

}  // namespace

long DisplayMsg(QString* text, QString* title, unsigned flags, short extra)
{
    char textBuffer[ZT_PATH_LEN];
    char titleBuffer[ZT_PATH_LEN];
    toBuffer(text, textBuffer);
    toBuffer(title, titleBuffer);
    if (!fn_ZTUIEx_MessageBox)
        return 0;
    return static_cast<long>(
        fn_ZTUIEx_MessageBox(textBuffer, titleBuffer, flags, static_cast<uint32_t>(static_cast<uint16_t>(extra))));
}

int MessageBox(QWidget* parent, const char* text, const char* title, unsigned flags, const char* confirmText)
{
    QTranslator translator;
    translator.load(QString::fromUtf8(g_szLanguageQmFileName), QString(), QString(), QString());
    QCoreApplication::installTranslator(&translator);

    QMessageBox box(parent);
    box.setWindowTitle(tr(title));
    box.setText(tr(text));
    switch (flags & 0xF0u) {
    case 0x10:
        box.setIcon(QMessageBox::Critical);
        break;
    case 0x20:
        box.setIcon(QMessageBox::Question);
        break;
    case 0x40:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::Warning);
        break;
    }
    QPushButton* confirm = nullptr;
    if ((flags & 0x0Fu) == 1) {
        confirm = box.addButton(tr(confirmText), QMessageBox::AcceptRole);
        box.addButton(tr("Cancel"), QMessageBox::RejectRole);
        box.setDefaultButton(confirm);
    } else {
        box.addButton(tr("Ok"), QMessageBox::AcceptRole);
    }
    box.exec();
    // A box closed without a button is no confirmation.
    const bool cancelled = confirm && box.clickedButton() != confirm;
    QCoreApplication::removeTranslator(&translator);
    return cancelled ? 2 : 1;
}
