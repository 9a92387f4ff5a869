#pragma once
// Asks for the PIN and verifies it; a wrong PIN shows the attempts left and
// lets the user try again.
#include <QDialog>
#include <functional>
#include <string>

#include "KeyAccess.h"

class QLabel;
class QLineEdit;

namespace uiex {

class Texts;

class VerifyPinDialog : public QDialog
{
    Q_OBJECT
public:
    using Verify = std::function<PinOutcome(const std::string& pin)>;
    VerifyPinDialog(const Texts& texts, const QString& serial, int attemptsLeft, Verify verify,
                    QWidget* parent);
    // 0 when verified, the cancel code, or the code that ended the dialog.
    uint32_t resultCode() const { return m_code; }

private slots:
    void onOk();

private:
    const Texts& m_texts;
    Verify m_verify;
    QLineEdit* m_pin;
    QLabel* m_attempts;
    QLabel* m_message;
    uint32_t m_code;
};

}  // namespace uiex
