#pragma once
// Plays the user through the modal dialogs an operation opens, in order, and
// fails the test on a dialog that was not expected (a message where there
// should be none) or an expected one that never shows.
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

struct SeenDialog {
    std::string kind;   // object name, or "QMessageBox" for the manager's own box
    std::string text;   // message text of either kind of box
    unsigned iconKind;  // UI extension message box: 0x10 error, 0x40 information
    std::vector<std::string> buttons;  // manager's box: its button texts
};

class ModalScript
{
public:
    using Action = std::function<void(QWidget*)>;
    explicit ModalScript(int timeoutMs = 20000);
    ~ModalScript();

    ModalScript& then(const std::string& kind, Action action);
    // Steps still waiting for their dialog.
    size_t pending() const { return m_steps.size(); }
    bool finished() const { return m_steps.empty(); }
    const std::vector<SeenDialog>& seen() const { return m_seen; }

private:
    void tick();

    struct Step {
        std::string kind;
        Action action;
    };
    std::deque<Step> m_steps;
    std::vector<SeenDialog> m_seen;
    QPointer<QWidget> m_last;
    QTimer m_timer;
    qint64 m_deadline;
};

// Actions.
void pressConfirm(QWidget* messageBox);  // manager's box: its confirm button
void pressCancel(QWidget* messageBox);   // manager's box: Cancel
void pressOk(QWidget* uiExtensionDialog);
void pressDialogCancel(QWidget* uiExtensionDialog);
void setNewPin(QWidget* setPinDialog, const std::string& pin);
void changePin(QWidget* changePinDialog, const std::string& oldPin, const std::string& newPin);
void enterPin(QWidget* verifyPinDialog, const std::string& pin);
