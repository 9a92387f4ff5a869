#pragma once
// The manager's answers to the web bridge's questions: its own dialogs, shown
// on top even while the manager sits in the tray. Questions about one origin
// that arrive while its dialog is open share that dialog and its answer.
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

#include "BridgePrompts.h"

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

    // Object names of the dialogs, for their users and tests.
    static const char* const kConsentDialogName;
    static const char* const kLastAttemptDialogName;

private:
    struct Waiter {
        int id;
        std::function<void(bool, bool)> answer;
    };
    struct Question {
        QPointer<QDialog> dialog;
        QVector<Waiter> waiters;
    };
    // Key: kind and origin, so a consent and a PIN question never merge.
    int ask(const QString& key, QDialog* (BridgeQuestions::*make)(const QString&, bool), const QString& origin,
            bool canRemember, std::function<void(bool, bool)> answer);
    QDialog* makeConsentDialog(const QString& origin, bool canRemember);
    QDialog* makeLastAttemptDialog(const QString& origin, bool unused);
    void answerAll(const QString& key, bool yes, bool remember);

    QMap<QString, Question> m_questions;
    int m_nextId = 1;
};
