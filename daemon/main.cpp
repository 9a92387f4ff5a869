// tarndaemon: watches the supported USB keys, publishes them in the slot
// registry, announces them on the desktop and starts the manager.
// The registry's header names a field "slots", which Qt's headers turn into a
// keyword: it must come first.
#include "StopFlag.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <unistd.h>
#include <vector>

#include "common/ProcessScan.h"
#include "common/SystemConfig.h"
#include "Daemon.h"
#include "NotificationActions.h"
#include "common/ZTLog.h"
#include "common/CommandLine.h"
#include "common/global_def_var.h"

int main(int argc, char* argv[])
{
    parse_commandline(argc, argv);

    // One daemon per machine: the registry's names are machine-wide. Which
    // process stopped this start is said plainly, since a look-alike of
    // another account may be the one taken for a daemon.
    const std::vector<RunningProcess> daemons = processesRunningProgramAnyUser(ownExecutablePath());
    if (!daemons.empty() && daemons.front().pid != getpid()) {
        const RunningProcess& other = daemons.front();
        printf("+DEBUG: main.cpp proess_id(%d) already exist\n", static_cast<int>(other.pid));
        fflush(stdout);
        const std::string who = describeProcess(other);
        fprintf(stderr, "tarndaemon: not started, a key service already runs: %s\n", who.c_str());
        ZTLog::DaemonWriteLog(ZT_LOG_FAILURE, "main", __LINE__, "not started, a key service already runs: %s",
                              who.c_str());
        return 1;
    }

    QCoreApplication app(argc, argv);
    installSignalHandlers();
    // The handler only wakes us; logging and stopping the watch happen here.
    QSocketNotifier signalNotifier(signalPipeReadFd(), QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [] {
        const int signum = takePendingSignal();
        if (signum == 0)
            return;
        ZTLog::DaemonWriteLog(ZT_LOG_TRACE, "main", __LINE__, "receSignal(). signum = %d, hot-plug watch stops",
                              signum);
        stopHotplugWatch();
    });

    // Before the first pass can announce a key.
    NotificationActions notificationActions;

    if (initSystemPath(g_szLanguageDirPath, g_szConfigFilePath) != 0) {
        ZTLog::DaemonWriteLog(ZT_LOG_TRACE, "main", __LINE__, "Can't Init SystemPath!");
        return 0;
    }
    const DWORD rc = InitResource();
    if (rc != 0) {
        ZTLog::DaemonWriteLog(ZT_LOG_TRACE, "main", __LINE__, "InitLibrary() failed!");
        return static_cast<int>(rc);
    }
    ZTLog::DaemonWriteLog(ZT_LOG_TRACE, "main", __LINE__, "g_nThreadExit %d", g_nThreadExit);
    return app.exec();
}
