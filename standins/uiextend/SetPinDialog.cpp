#include "SetPinDialog.h"

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

SetPinDialog::SetPinDialog(const Texts& texts, const QString& serial, Set set, QWidget* parent)
    : QDialog(parent), m_texts(texts), m_set(std::move(set)), m_code(ZTUIEX_ERR_SET_CANCELLED)
{
    prepareDialog(this, "ZTUIExSetPinDialog", texts.ui("SetPin_Title"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeLabel(this, "label_Device", texts.ui("Device_Serial").arg(serial)));
    layout->addWidget(makeLabel(this, "label_Info", texts.ui("SetPin_Info")));
    auto* form = new QFormLayout;
    m_fields = new NewPinFields(texts, this, form);
    layout->addLayout(form);
    m_message = makeMessageLabel(this);
    layout->addWidget(m_message);
    QPushButton* ok = addOkCancelButtons(this, layout, texts);
    connect(ok, &QPushButton::clicked, this, &SetPinDialog::onOk);
    m_fields->newPinEdit()->setFocus();
}

void SetPinDialog::onOk()
{
    QString problem = m_fields->problem();
    if (!problem.isEmpty()) {
        showMessage(m_message, problem);
        return;
    }
    std::string pin = m_fields->newPin();
    PinOutcome outcome = m_set(pin);
    wipe(pin);
    if (outcome.samePin) {
        showMessage(m_message, m_texts.ui("SetPin_Same_As_Initial"));
        return;
    }
    m_fields->clear();
    m_code = outcome.code;
    if (outcome.code == ZTUIEX_OK)
        accept();
    else
        reject();
}

}  // namespace uiex
