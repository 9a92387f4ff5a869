#include "BridgePinGate.h"

#include <QPointer>
#include <QTimer>

#include "BridgeLog.h"
#include "BridgePrompts.h"

BridgePinGate::BridgePinGate(Host& host) : host(host)
{
    clock.start();
}

BridgePinGate::~BridgePinGate() = default;

BridgePinGate::Pending* BridgePinGate::find(quint64 id)
{
    const auto it = pending.find(id);
    return it == pending.end() ? nullptr : &it->second;
}

void BridgePinGate::submit(quint64 id, const QString& site, BridgePinRequest pin)
{
    release(id);
    Pending& p = pending[id];
    p.site = site;
    p.pin = std::move(pin);
    p.backoffTimer = new QTimer(this);
    p.backoffTimer->setSingleShot(true);
    connect(p.backoffTimer, &QTimer::timeout, this, [this, id] {
        if (find(id))
            beginTurn(id);
    });
    if (turns.request(site, id))
        beginTurn(id);
}

void BridgePinGate::beginTurn(quint64 id)
{
    Pending& p = pending.at(id);
    // Decided now, not when the request came: an earlier request of the
    // same site may have failed meanwhile.
    const qint64 wait = backoff.remainingMs(p.site, clock.elapsed());
    if (wait > 0) {
        BRIDGE_LOG("PIN request of origin %s waits %d ms after a failed one", bridgeLogText(p.site).constData(),
                   static_cast<int>(wait));
        p.backoffTimer->start(static_cast<int>(wait));
        return;
    }
    start(id);
}

void BridgePinGate::start(quint64 id)
{
    const int attemptsLeft = host.pinAttemptsLeft(id);
    Pending* p = find(id);
    if (!p)
        return;
    if (attemptsLeft != 1) {
        confirmed(id, true);
        return;
    }
    if (!prompts) {
        BRIDGE_LOG("PIN request on the last attempt not sent: nobody to confirm it");
        endUnsent(id);
        return;
    }
    p->asking = true;
    const quint64 token = ++lastToken;
    p->token = token;
    BRIDGE_LOG("asking the user to confirm the last PIN attempt for origin %s", bridgeLogText(p->site).constData());
    QPointer<BridgePinGate> self(this);
    const int promptId = prompts->confirmLastPinAttempt(p->site, [self, id, token](bool proceed) {
        if (!self)
            return;
        Pending* asked = self->find(id);
        if (!asked || !asked->asking || asked->token != token)
            return;
        asked->asking = false;
        asked->promptId = -1;
        self->confirmed(id, proceed);
    });
    Pending* still = find(id);
    if (still && still->asking && still->token == token)
        still->promptId = promptId;
}

void BridgePinGate::confirmed(quint64 id, bool proceed)
{
    Pending* p = find(id);
    if (!p)
        return;
    if (!proceed) {
        BRIDGE_LOG("PIN request on the last attempt not sent: the user refused");
        endUnsent(id);
        return;
    }
    const QString site = p->site;
    bool refused = false;
    const QString reply = host.runPin(id, p->pin, &refused);
    backoff.result(site, refused, clock.elapsed());
    finish(id, reply);
}

void BridgePinGate::endUnsent(quint64 id)
{
    if (Pending* p = find(id))
        finish(id, BridgeProtocol::pinNotSentReply(p->pin, 1));
}

void BridgePinGate::finish(quint64 id, const QString& reply)
{
    release(id);
    // The server may hand over this connection's next request from here.
    host.pinFinished(id, reply);
}

bool BridgePinGate::withdraw(quint64 id)
{
    Pending* p = find(id);
    if (!p || !p->asking)
        return false;
    p->asking = false;
    const int promptId = p->promptId;
    p->promptId = -1;
    if (prompts && promptId >= 0)
        prompts->withdraw(promptId);
    return true;
}

void BridgePinGate::release(quint64 id)
{
    const auto it = pending.find(id);
    if (it == pending.end())
        return;
    withdraw(id);
    const QString site = it->second.site;
    // Its timer may be the caller.
    QTimer* timer = it->second.backoffTimer;
    timer->stop();
    timer->disconnect(this);
    timer->deleteLater();
    pending.erase(it);
    const quint64 next = turns.release(site, id);
    if (next == 0)
        return;
    // Not from inside the request that just ended.
    QMetaObject::invokeMethod(
        this,
        [this, next] {
            if (find(next))
                beginTurn(next);
        },
        Qt::QueuedConnection);
}
