#pragma once
// The manager's answers to the web bridge's questions: its own dialogs, shown
// on top even while the manager sits in the tray. Questions about one origin
// that arrive while its dialog is open share that dialog and its answer.
// One dialog is shown at a time, naming how many wait behind it; it takes no
// keyboard focus and ignores its buttons for a moment after it appears or is
// activated, so keys typed elsewhere or a click aimed at the previous one
// cannot answer it.
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

#include "bridge/BridgePrompts.h"

class QDialog;

class BridgeQuestions : public QObject, public BridgePrompts
{
    Q_OBJECT
public:
    explicit BridgeQuestions(QObject* parent = nullptr);
    ~BridgeQuestions() override;

    int askSiteConsent(const QString& origin, bool canRemember,
                       std::function<void(bool allow, bool remember)> answer) override;
    int confirmLastPinAttempt(const QString& origin, std::function<void(bool proceed)> answer) override;
    void withdraw(int id) override;

    // How long a dialog's buttons ignore input (1 s); tests shorten it.
    void setInputDelayMs(int ms) { m_inputDelayMs = ms; }

    // Object names of the dialogs, for their users and tests.
    static const char* const kConsentDialogName;
    static const char* const kLastAttemptDialogName;

private:
    struct Waiter {
        int id;
        std::function<void(bool, bool)> answer;
    };
    using Maker = QDialog* (BridgeQuestions::*)(const QString&, bool);
    struct Question {
        QPointer<QDialog> dialog;
        QVector<Waiter> waiters;
        Maker make = nullptr;
        QString origin;
        bool canRemember = false;
    };
    // Key: kind and origin, so a consent and a PIN question never merge.
    int ask(const QString& key, Maker make, const QString& origin, bool canRemember,
            std::function<void(bool, bool)> answer);
    void showFront();
    QDialog* makeConsentDialog(const QString& origin, bool canRemember);
    QDialog* makeLastAttemptDialog(const QString& origin, bool unused);
    void answerAll(const QString& key, bool yes, bool remember);

    QMap<QString, Question> m_questions;
    // Keys in the order asked; the first one's dialog is the one shown.
    QStringList m_order;
    int m_nextId = 1;
    int m_inputDelayMs = 1000;
};
