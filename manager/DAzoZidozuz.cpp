#include "DAzoZidozuz.h"

#include "ZTCommonDef.h"
#include "ZTLog.h"
#include "ui_ZUdeVovavadErudsDlg.h"

CDAzoZidozuz::CDAzoZidozuz(Ui::UKeyMainWindow* mainWindowUi, QObject* parent)
    : QObject(parent), m_mainWindowUi(mainWindowUi)
{
    if (m_mainWindowUi)
        connect(m_mainWindowUi->pushButton_ChangePin, SIGNAL(clicked()), this, SLOT(slot_changePin()));
}

// The PIN dialogs arrive with the PIN operations; until then the buttons
// only leave a trace.
void CDAzoZidozuz::slot_verifyPinForSign()
{
    ZTLog::WriteLog(ZT_LOG_STEP, "DAzoZidozuz", __LINE__, "slot_verifyPin()");
}

void CDAzoZidozuz::slot_changePin()
{
    ZTLog::WriteLog(ZT_LOG_STEP, "DAzoZidozuz", __LINE__, "slot_changePin() not available yet");
}
