#pragma once
// PIN operations of the main window's keys: change PIN and the signature
// test's PIN verification.
#include <QObject>

struct KeySelection;

class PinOperations : public QObject
{
    Q_OBJECT

public:
    // selection: the key the operations act on; it outlives them.
    PinOperations(const KeySelection* selection, QObject* parent);

public slots:
    void slot_verifyPinForSign();
    void slot_changePin();

private:
    const KeySelection* m_selection;
};
