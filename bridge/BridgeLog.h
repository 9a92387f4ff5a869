#pragma once
// Every bridge line goes to the daemon-style log under one source name. One
// request makes some twenty log calls; whether the log folder exists is asked
// once per request instead of once per line.
#include <QByteArray>
#include <QString>

#include "common/ZTCommonDef.h"
#include "common/ZTLog.h"

// While alive, log lines of this thread follow one look at the log folder.
class BridgeLogScope
{
public:
    BridgeLogScope();
    ~BridgeLogScope();
    BridgeLogScope(const BridgeLogScope&) = delete;
    BridgeLogScope& operator=(const BridgeLogScope&) = delete;
};

// False only inside a scope that found no log folder.
bool bridgeLogWanted();

// What a line shows of a text a page chose: its start, so a page cannot fill the log.
QByteArray bridgeLogText(const QString& text);

#define BRIDGE_LOG(...)                                                                          \
    do {                                                                                         \
        if (bridgeLogWanted())                                                                   \
            ZTLog::DaemonWriteLog(ZT_LOG_TRACE, "ZTWebSocketServer", __LINE__, __VA_ARGS__);     \
    } while (0)
