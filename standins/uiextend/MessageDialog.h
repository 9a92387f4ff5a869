#pragma once
// The library's message box: texts already translated, buttons and icon from
// the caller's flags (low four bits buttons, next four the icon).
#include <QDialog>

namespace uiex {

class Texts;

class MessageDialog : public QDialog
{
    Q_OBJECT
public:
    MessageDialog(const Texts& texts, const QString& text, const QString& title, uint32_t flags, QWidget* parent);
    // ZTUIEX_ID_OK when confirmed, else ZTUIEX_ID_CANCEL. A box with only OK
    // has nothing to decline: closing it counts as OK.
    uint32_t resultCode() const { return result() == QDialog::Accepted || m_okOnly ? 1u : 2u; }

private:
    bool m_okOnly;
};

}  // namespace uiex
