#pragma once
// A key that still has its initial PIN gets the user's own PIN.
#include <QDialog>
#include <functional>
#include <string>

#include "KeyAccess.h"

class QLabel;

namespace uiex {

class NewPinFields;
class Texts;

class SetPinDialog : public QDialog
{
    Q_OBJECT
public:
    using Set = std::function<PinOutcome(const std::string& newPin)>;
    SetPinDialog(const Texts& texts, const QString& serial, Set set, QWidget* parent);
    uint32_t resultCode() const { return m_code; }

private slots:
    void onOk();

private:
    const Texts& m_texts;
    Set m_set;
    NewPinFields* m_fields;
    QLabel* m_message;
    uint32_t m_code;
};

}  // namespace uiex
