#include "BridgeLog.h"

#include <unistd.h>

namespace {

thread_local int t_depth = 0;
thread_local bool t_wanted = true;

}  // namespace

BridgeLogScope::BridgeLogScope()
{
    if (t_depth++ == 0) {
        char dir[ZT_PATH_LEN] = {};
        ztLogDirectory(dir, sizeof(dir));
        t_wanted = dir[0] && access(dir, F_OK) == 0;
    }
}

BridgeLogScope::~BridgeLogScope()
{
    if (--t_depth == 0)
        t_wanted = true;
}

bool bridgeLogWanted()
{
    return t_wanted;
}

QByteArray bridgeLogText(const QString& text)
{
    return text.left(256).toUtf8();
}
