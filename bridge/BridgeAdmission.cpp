#include "BridgeAdmission.h"

#include <QTcpSocket>
#include <unistd.h>

#include "BridgeLog.h"
#include "BridgePeerUser.h"

BridgeAdmission::BridgeAdmission()
{
    clock.start();
}

BridgeAdmission::Verdict BridgeAdmission::check(QTcpSocket* socket)
{
    uid_t owner = 0;
    const bool known =
        bridgePeerUid(socket->peerAddress(), socket->peerPort(), socket->localAddress(), socket->localPort(), &owner);
    if (known && owner == geteuid())
        return Verdict::Admit;

    const qint64 now = clock.elapsed();
    if (now - windowStartMs >= 1000) {
        if (droppedInWindow > 0)
            BRIDGE_LOG("%d more refused connections dropped without a reply", droppedInWindow);
        windowStartMs = now;
        refusalsInWindow = 0;
        droppedInWindow = 0;
    }
    if (++refusalsInWindow > kLoggedRefusalsPerSecond) {
        ++droppedInWindow;
        return Verdict::Drop;
    }
    if (!known)
        BRIDGE_LOG("connection from port %d refused: it is not an established socket of a known owner",
                   static_cast<int>(socket->peerPort()));
    else
        BRIDGE_LOG("connection from port %d of user %u refused", static_cast<int>(socket->peerPort()),
                   static_cast<unsigned>(owner));
    return Verdict::Refuse;
}
