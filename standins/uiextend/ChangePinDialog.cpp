#include "ChangePinDialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "DialogParts.h"
#include "NewPinFields.h"
#include "UiLanguage.h"
#include "bindings/ZTUIExtend_api.h"

namespace uiex {

ChangePinDialog::ChangePinDialog(const Texts& texts, const QString& serial, int attemptsLeft, Change change,
                                 QWidget* parent)
    : QDialog(parent), m_texts(texts), m_change(std::move(change)), m_code(ZTUIEX_ERR_CHANGE_CANCELLED)
{
    prepareDialog(this, "ZTUIExChangePinDialog", texts.ui("ChangePin_Title"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeLabel(this, "label_Device", texts.ui("Device_Serial").arg(serial)));
    auto* form = new QFormLayout;
    m_old = makePinEdit(this, "lineEdit_OldPin");
    addLabelledRow(form, makeLabel(this, "label_OldPin", texts.ui("OldPin_Label")), m_old);
    m_fields = new NewPinFields(texts, this, form);
    layout->addLayout(form);
    m_attempts = makeLabel(this, "label_Attempts", texts.ui("Pin_Attempts_Left").arg(attemptsLeft));
    layout->addWidget(m_attempts);
    m_message = makeMessageLabel(this);
    layout->addWidget(m_message);
    QPushButton* ok = addOkCancelButtons(this, layout, texts);
    connect(ok, &QPushButton::clicked, this, &ChangePinDialog::onOk);
    m_old->setFocus();
}

void ChangePinDialog::onOk()
{
    std::string oldPin = m_old->text().toUtf8().toStdString();
    if (!pinAcceptable(oldPin)) {
        wipe(oldPin);
        showMessage(m_message, m_texts.ui("Pin_Length_Invalid").arg(minPinLength()).arg(maxPinLength()));
        return;
    }
    QString problem = m_fields->problem();
    std::string newPin = m_fields->newPin();
    if (problem.isEmpty() && newPin == oldPin)
        problem = m_texts.ui("Pin_Same_As_Old");
    if (!problem.isEmpty()) {
        wipe(oldPin);
        wipe(newPin);
        showMessage(m_message, problem);
        return;
    }
    PinOutcome outcome = m_change(oldPin, newPin);
    wipe(oldPin);
    wipe(newPin);
    wipe(m_old);
    if (outcome.code == ZTUIEX_OK) {
        m_fields->clear();
        m_code = ZTUIEX_OK;
        accept();
        return;
    }
    if (outcome.wrongPin && outcome.code != ZTUIEX_ERR_PIN_LOCKED) {
        m_attempts->setText(m_texts.ui("Pin_Attempts_Left").arg(outcome.attemptsLeft));
        showMessage(m_message, m_texts.ui("OldPin_Wrong").arg(outcome.attemptsLeft));
        m_old->setFocus();
        return;
    }
    m_fields->clear();
    m_code = outcome.code;
    reject();
}

}  // namespace uiex
