#pragma once
// When a page's checked PIN request goes to the key: on its site's turn (one
// at a time per site), after the wait the site's failures left, and on the
// key's last attempt only when the user confirms it. It sees the server only
// through Host; the request may wait long after submit returned.
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <unordered_map>

#include "BridgePinBackoff.h"
#include "BridgePinTurns.h"
#include "BridgeProtocol.h"

class BridgePrompts;
class QTimer;

class BridgePinGate : public QObject
{
public:
    // What the gate needs of the server for one connection's request.
    class Host
    {
    public:
        // Attempts left on the connection's key, -1 when the key does not say.
        virtual int pinAttemptsLeft(quint64 id) = 0;
        // Sends the PIN to the key; *refused: the key turned it down. The whole reply.
        virtual QString runPin(quint64 id, const BridgePinRequest& pin, bool* refused) = 0;
        // The request ended with this reply; the gate holds nothing of it any more.
        virtual void pinFinished(quint64 id, const QString& reply) = 0;

    protected:
        ~Host() = default;
    };

    explicit BridgePinGate(Host& host);
    ~BridgePinGate() override;

    // Who confirms the last attempt; nullptr: nobody, so it is not sent.
    // Questions open with the previous one are withdrawn by the caller first.
    void setPrompts(BridgePrompts* next) { prompts = next; }
    void setBackoffMs(int first, int last) { backoff.setDelays(first, last); }

    // Takes connection id's request, of site (normalised origin, "" for a
    // local program); the connection has none pending.
    void submit(quint64 id, const QString& site, BridgePinRequest pin);
    // Ends id's request unsent, as if the key had refused it on its last attempt.
    void endUnsent(quint64 id);
    // Closes id's open confirmation, if any: its answer is never taken. True
    // when one was open.
    bool withdraw(quint64 id);
    // Drops id's request without a reply (the page is refused or gone); the
    // site's next request gets the turn.
    void release(quint64 id);

private:
    struct Pending {
        QString site;
        BridgePinRequest pin;
        QTimer* backoffTimer = nullptr;
        bool asking = false;
        quint64 token = 0;
        int promptId = -1;
    };
    Pending* find(quint64 id);
    void beginTurn(quint64 id);
    void start(quint64 id);
    void confirmed(quint64 id, bool proceed);
    void finish(quint64 id, const QString& reply);

    Host& host;
    BridgePrompts* prompts = nullptr;
    quint64 lastToken = 0;
    std::unordered_map<quint64, Pending> pending;
    BridgePinBackoff backoff;
    BridgePinTurns turns;
    QElapsedTimer clock;
};
