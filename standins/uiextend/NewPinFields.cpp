#include "NewPinFields.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVariant>

#include "DialogParts.h"
#include "KeyAccess.h"
#include "PinStrength.h"
#include "UiLanguage.h"

namespace uiex {

NewPinFields::NewPinFields(const Texts& texts, QWidget* dialog, QFormLayout* form)
    : QObject(dialog), m_texts(texts)
{
    m_new = makePinEdit(dialog, "lineEdit_NewPin");
    m_confirm = makePinEdit(dialog, "lineEdit_ConfirmPin");
    m_strength = makeLabel(dialog, "label_Strength");
    addLabelledRow(form, makeLabel(dialog, "label_NewPin", texts.ui("NewPin_Label")), m_new);
    addLabelledRow(form, makeLabel(dialog, "label_ConfirmPin", texts.ui("ConfirmPin_Label")), m_confirm);
    form->addRow(makeLabel(dialog, "label_StrengthTitle", texts.ui("Pin_Strength_Label")), m_strength);
    connect(m_new, &QLineEdit::textChanged, this, &NewPinFields::updateStrength);
    updateStrength();
}

void NewPinFields::updateStrength()
{
    std::string pin = m_new->text().toUtf8().toStdString();
    uint32_t degree = pinDegree(pin);
    wipe(pin);
    const char* key = degree == kPinStrong ? "Pin_Strength_Strong"
                      : degree == kPinMedium ? "Pin_Strength_Medium"
                                             : "Pin_Strength_Weak";
    m_strength->setText(m_new->text().isEmpty() ? QString() : m_texts.ui(key));
    // Machine-readable for tests and accessibility tools.
    m_strength->setProperty("pinDegree", static_cast<uint>(degree));
}

QString NewPinFields::problem() const
{
    std::string pin = newPin();
    bool acceptable = pinAcceptable(pin);
    wipe(pin);
    if (!acceptable)
        return m_texts.ui("NewPin_Length_Invalid").arg(minPinLength()).arg(maxPinLength());
    if (m_new->text() != m_confirm->text())
        return m_texts.ui("Pin_Mismatch");
    return QString();
}

std::string NewPinFields::newPin() const
{
    return m_new->text().toUtf8().toStdString();
}

void NewPinFields::clear()
{
    wipe(m_new);
    wipe(m_confirm);
}

}  // namespace uiex
