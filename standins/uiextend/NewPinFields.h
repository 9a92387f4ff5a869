#pragma once
// The new PIN, its confirmation and the strength shown as the user types,
// shared by the change and set dialogs.
#include <QObject>
#include <QString>
#include <string>

class QFormLayout;
class QLabel;
class QLineEdit;
class QWidget;

namespace uiex {

class Texts;

class NewPinFields : public QObject
{
    Q_OBJECT
public:
    NewPinFields(const Texts& texts, QWidget* dialog, QFormLayout* form);
    // Why the entered PIN cannot be taken (empty when it can).
    QString problem() const;
    std::string newPin() const;
    void clear();
    QLineEdit* newPinEdit() const { return m_new; }

private slots:
    void updateStrength();

private:
    const Texts& m_texts;
    QLineEdit* m_new;
    QLineEdit* m_confirm;
    QLabel* m_strength;
};

}  // namespace uiex
