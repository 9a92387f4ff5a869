#include "VerifyPinDialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "DialogParts.h"
#include "UiLanguage.h"
#include "bindings/ZTUIExtend_api.h"

namespace uiex {

VerifyPinDialog::VerifyPinDialog(const Texts& texts, const QString& serial, int attemptsLeft, Verify verify,
                                 QWidget* parent)
    : QDialog(parent), m_texts(texts), m_verify(std::move(verify)), m_code(ZTUIEX_ERR_VERIFY_CANCELLED)
{
    prepareDialog(this, "ZTUIExVerifyPinDialog", texts.ui("VerifyPin_Title"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeLabel(this, "label_Device", texts.ui("Device_Serial").arg(serial)));
    auto* form = new QFormLayout;
    m_pin = makePinEdit(this, "lineEdit_Pin");
    addLabelledRow(form, makeLabel(this, "label_Pin", texts.ui("Pin_Label")), m_pin);
    layout->addLayout(form);
    m_attempts = makeLabel(this, "label_Attempts", texts.ui("Pin_Attempts_Left").arg(attemptsLeft));
    layout->addWidget(m_attempts);
    m_message = makeMessageLabel(this);
    layout->addWidget(m_message);
    QPushButton* ok = addOkCancelButtons(this, layout, texts);
    connect(ok, &QPushButton::clicked, this, &VerifyPinDialog::onOk);
    m_pin->setFocus();
}

void VerifyPinDialog::onOk()
{
    std::string pin = m_pin->text().toUtf8().toStdString();
    if (!pinAcceptable(pin)) {
        wipe(pin);
        showMessage(m_message, m_texts.ui("Pin_Length_Invalid").arg(minPinLength()).arg(maxPinLength()));
        return;
    }
    PinOutcome outcome = m_verify(pin);
    wipe(pin);
    wipe(m_pin);
    if (outcome.code == ZTUIEX_OK) {
        m_code = ZTUIEX_OK;
        accept();
        return;
    }
    if (outcome.wrongPin && outcome.code != ZTUIEX_ERR_PIN_LOCKED) {
        m_attempts->setText(m_texts.ui("Pin_Attempts_Left").arg(outcome.attemptsLeft));
        showMessage(m_message, m_texts.ui("Pin_Wrong").arg(outcome.attemptsLeft));
        m_pin->setFocus();
        return;
    }
    m_code = outcome.code;
    reject();
}

}  // namespace uiex
