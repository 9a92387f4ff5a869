#pragma once
// Old PIN, new PIN and confirmation. Mistakes in the new PIN are refused here,
// before the key is asked; a wrong old PIN costs an attempt and is shown.
#include <QDialog>
#include <functional>
#include <string>

#include "KeyAccess.h"

class QLabel;
class QLineEdit;

namespace uiex {

class NewPinFields;
class Texts;

class ChangePinDialog : public QDialog
{
    Q_OBJECT
public:
    using Change = std::function<PinOutcome(const std::string& oldPin, const std::string& newPin)>;
    ChangePinDialog(const Texts& texts, const QString& serial, int attemptsLeft, Change change, QWidget* parent);
    uint32_t resultCode() const { return m_code; }

private slots:
    void onOk();

private:
    const Texts& m_texts;
    Change m_change;
    QLineEdit* m_old;
    NewPinFields* m_fields;
    QLabel* m_attempts;
    QLabel* m_message;
    uint32_t m_code;
};

}  // namespace uiex
