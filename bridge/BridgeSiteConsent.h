#pragma once
// Whether the pages of a site the bank does not list may be served: the
// answers the user gave for good, the quiet time after a refusal, and the one
// question per connection, answered, timed out or withdrawn. It sees the
// server only through Host, and its answer may come much later.
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <unordered_map>

#include "BridgeQuietSites.h"
#include "BridgeRememberedSites.h"

class BridgePrompts;
class QTimer;

class BridgeSiteConsent : public QObject
{
public:
    // What the server does with the verdict on one of its connections.
    class Host
    {
    public:
        // The connection may be served: its waiting requests go now.
        virtual void siteAllowed(quint64 id) = 0;
        // The connection is closed unserved; why goes to the log.
        virtual void siteRefused(quint64 id, const char* why) = 0;

    protected:
        ~Host() = default;
    };

    explicit BridgeSiteConsent(Host& host);
    ~BridgeSiteConsent() override;

    // Who is asked; nullptr: nobody. Questions open with the previous one are
    // withdrawn by the caller first.
    void setPrompts(BridgePrompts* next) { prompts = next; }
    // How long a question may stay unanswered.
    void setTimeoutMs(int ms);

    // Decides about connection id of a page of origin (normalised), which the
    // bank lists or not: at once, or when the user answers.
    void decide(quint64 id, const QString& origin, bool listed);
    // Closes id's open question, if any: its answer is never taken. True when
    // one was open.
    bool withdraw(quint64 id);

private:
    struct Question {
        QString origin;
        quint64 token = 0;
        int promptId = -1;
        QTimer* timer = nullptr;
    };
    void ask(quint64 id, const QString& origin);
    void answered(quint64 id, bool allow, bool remember);
    void timedOut(quint64 id);
    // Removes the question without telling the prompts.
    void close(quint64 id);
    int openQuestionsOf(const QString& origin) const;

    Host& host;
    BridgePrompts* prompts = nullptr;
    int timeoutMs = 60 * 1000;
    // Tells a late answer from the one of the question open now.
    quint64 lastToken = 0;
    std::unordered_map<quint64, Question> questions;
    BridgeRememberedSites remembered;
    BridgeQuietSites quietSites;
    QElapsedTimer clock;
};
