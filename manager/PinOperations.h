#pragma once
// PIN operations of the main window's keys: change PIN and the signature
// test's PIN verification.
#include <QObject>

namespace Ui {
class UKeyMainWindow;
}

class PinOperations : public QObject
{
    Q_OBJECT

public:
    PinOperations(Ui::UKeyMainWindow* mainWindowUi, QObject* parent);

public slots:
    void slot_verifyPinForSign();
    void slot_changePin();

private:
    Ui::UKeyMainWindow* m_mainWindowUi;
};
