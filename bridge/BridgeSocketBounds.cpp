#include "BridgeSocketBounds.h"

#include <QTcpSocket>
#include <QWebSocket>
#include <algorithm>

namespace {
constexpr int kPollMs = 20;
// While paused, the socket holds at most this much unread; the kernel's
// buffer and TCP flow control keep the rest at the page.
constexpr qint64 kPausedReadBuffer = 64 * 1024;
}  // namespace

BridgeSocketBounds::BridgeSocketBounds(QWebSocket* socket, QTcpSocket* tcp, int drainTimeoutMs, QObject* parent)
    : QObject(parent), socket(socket), tcp(tcp), drainTimeoutMs(drainTimeoutMs)
{
    clock.start();
    lastRefillNs = clock.nsecsElapsed();
    poller.setInterval(kPollMs);
    connect(&poller, &QTimer::timeout, this, &BridgeSocketBounds::poll);
    // Pings are answered inside the web socket: look after each read.
    if (tcp)
        connect(tcp, &QTcpSocket::readyRead, this, &BridgeSocketBounds::check);
}

BridgeSocketBounds::~BridgeSocketBounds()
{
    if (isPaused && tcp)
        tcp->blockSignals(false);
}

void BridgeSocketBounds::refill()
{
    const qint64 now = clock.nsecsElapsed();
    budgetNs = std::min(kBudgetNs, budgetNs + (now - lastRefillNs) * kBudgetPerSecondNs / 1000000000LL);
    lastRefillNs = now;
}

void BridgeSocketBounds::charge(qint64 nanoseconds)
{
    refill();
    budgetNs -= nanoseconds;
    if (budgetNs < 0)
        pause();
}

void BridgeSocketBounds::check()
{
    if (socket->bytesToWrite() > kMaxUnsentBytes) {
        if (!overSendCap)
            pausedFor.start();
        overSendCap = true;
        pause();
    }
}

void BridgeSocketBounds::pause()
{
    if (isPaused)
        return;
    isPaused = true;
    // The web socket reads its transport on readyRead: without the signal it
    // reads nothing more, and the small buffer stops the transport reading.
    if (tcp) {
        tcp->setReadBufferSize(kPausedReadBuffer);
        tcp->blockSignals(true);
    }
    poller.start();
}

void BridgeSocketBounds::resume()
{
    isPaused = false;
    overSendCap = false;
    poller.stop();
    if (tcp) {
        tcp->blockSignals(false);
        tcp->setReadBufferSize(0);
        // What arrived meanwhile gave no signal the web socket saw.
        if (tcp->bytesAvailable() > 0)
            QMetaObject::invokeMethod(tcp, "readyRead", Qt::QueuedConnection);
    }
    emit resumed();
}

void BridgeSocketBounds::poll()
{
    if (tcp && tcp->state() != QAbstractSocket::ConnectedState) {
        poller.stop();
        emit stuck();
        return;
    }
    if (overSendCap) {
        if (socket->bytesToWrite() > kResumeUnsentBytes) {
            if (pausedFor.elapsed() > drainTimeoutMs) {
                poller.stop();
                emit stuck();
            }
            return;
        }
    }
    refill();
    if (budgetNs < 0)
        return;
    resume();
}
