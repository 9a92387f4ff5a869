#pragma once
// Every bridge line goes to the daemon-style log under one source name.
#include "ZTCommonDef.h"
#include "ZTLog.h"

#define BRIDGE_LOG(...) ZTLog::DaemonWriteLog(ZT_LOG_TRACE, "ZTWebSocketServer", __LINE__, __VA_ARGS__)
