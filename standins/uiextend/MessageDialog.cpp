#include "MessageDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <QVariant>

#include "DialogParts.h"
#include "UiLanguage.h"
#include "bindings/ZTUIExtend_api.h"

namespace uiex {
namespace {

QStyle::StandardPixmap iconOf(uint32_t flags, bool* known)
{
    *known = true;
    switch (flags & 0xF0u) {
    case ZTUIEX_MB_ICONERROR: return QStyle::SP_MessageBoxCritical;
    case ZTUIEX_MB_ICONQUESTION: return QStyle::SP_MessageBoxQuestion;
    case ZTUIEX_MB_ICONEXCLAMATION: return QStyle::SP_MessageBoxWarning;
    case ZTUIEX_MB_ICONINFORMATION: return QStyle::SP_MessageBoxInformation;
    default: break;
    }
    *known = false;
    return QStyle::SP_MessageBoxInformation;
}

}  // namespace

MessageDialog::MessageDialog(const Texts& texts, const QString& text, const QString& title, uint32_t flags,
                             QWidget* parent)
    : QDialog(parent), m_okOnly((flags & 0x0Fu) == ZTUIEX_MB_OK)
{
    prepareDialog(this, "ZTUIExMessageBox", title);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    QLabel* icon = makeLabel(this, "label_Icon");
    bool known = false;
    QStyle::StandardPixmap pixmap = iconOf(flags, &known);
    if (known)
        icon->setPixmap(style()->standardIcon(pixmap).pixmap(32, 32));
    icon->setVisible(known);
    icon->setProperty("iconKind", static_cast<uint>(known ? (flags & 0xF0u) : 0u));
    row->addWidget(icon, 0, Qt::AlignTop);
    QLabel* label = makeLabel(this, "label_Text", text);
    label->setTextFormat(Qt::PlainText);  // texts from callers are never markup
    row->addWidget(label, 1);
    layout->addLayout(row);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    QPushButton* ok = makeButton(this, "pushButton_OK", texts.ui("Button_OK"));
    ok->setDefault(true);
    buttons->addWidget(ok);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // Button codes other than 0 and 1 come from callers we do not know: offer
    // Cancel too, so nothing is confirmed that the user could not decline.
    if (!m_okOnly) {
        QPushButton* cancel = makeButton(this, "pushButton_Cancel", texts.ui("Button_Cancel"));
        buttons->addWidget(cancel);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    }
    layout->addLayout(buttons);
    // 300 pixels at 100 %, more for larger text.
    setMinimumWidth(qMax(minimumWidth(), 300 * logicalDpiX() / 96));
}

}  // namespace uiex
