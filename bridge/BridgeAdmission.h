#pragma once
// Who may start a WebSocket handshake with the bridge: only established
// connections of the desktop user's own programs. Refusals are cheap (one
// kernel lookup each) and beyond a few a second they are dropped without a
// reply or a log line, so another account cannot flood the log or the event
// loop with them.
#include <QElapsedTimer>

class QTcpSocket;

class BridgeAdmission
{
public:
    BridgeAdmission();

    enum class Verdict { Admit, Refuse, Drop };
    // Refuse: answer 403 and close; Drop: abort at once.
    Verdict check(QTcpSocket* socket);

    static constexpr int kLoggedRefusalsPerSecond = 20;

private:
    QElapsedTimer clock;
    qint64 windowStartMs = 0;
    int refusalsInWindow = 0;
    int droppedInWindow = 0;
};
