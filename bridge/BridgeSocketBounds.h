#pragma once
// Keeps one page's connection within bounds: what waits to be sent to it, and
// the share of the event loop its requests take. Above either, the socket is
// no longer read (its requests wait in the kernel, so the page is slowed, not
// served from unbounded memory); a page that does not read its replies
// within kDrainTimeoutMs is given up.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QTcpSocket;
class QWebSocket;

class BridgeSocketBounds : public QObject
{
    Q_OBJECT
public:
    // tcp is the connection under socket (nullptr: only the send cap is kept).
    BridgeSocketBounds(QWebSocket* socket, QTcpSocket* tcp, int drainTimeoutMs = kDrainTimeoutMs,
                       QObject* parent = nullptr);
    ~BridgeSocketBounds() override;

    // After something was queued to send, or time was spent on a request.
    void check();
    void charge(qint64 nanoseconds);
    bool paused() const { return isPaused; }

    static constexpr qint64 kMaxUnsentBytes = 1024 * 1024;
    // Reading starts again below this.
    static constexpr qint64 kResumeUnsentBytes = 256 * 1024;
    static constexpr int kDrainTimeoutMs = 10 * 1000;
    // A page may use the event loop for this much at once, refilled at
    // kBudgetPerSecondNs: beyond, its reading pauses until the budget is back.
    static constexpr qint64 kBudgetNs = 200LL * 1000 * 1000;
    static constexpr qint64 kBudgetPerSecondNs = 250LL * 1000 * 1000;

signals:
    // Reading resumed: requests that waited may be served.
    void resumed();
    // The page did not drain its replies in time, or went away meanwhile.
    void stuck();

private:
    void refill();
    void pause();
    void resume();
    void poll();

    QWebSocket* socket;
    QPointer<QTcpSocket> tcp;
    int drainTimeoutMs;
    bool isPaused = false;
    bool overSendCap = false;
    qint64 budgetNs = kBudgetNs;
    qint64 lastRefillNs = 0;
    QElapsedTimer clock;
    QElapsedTimer pausedFor;
    QTimer poller;
};
