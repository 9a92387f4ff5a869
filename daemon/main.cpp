// tarndaemon: watches the supported USB keys, publishes them in the slot
// registry, announces them on the desktop and starts the manager.
// The registry's header names a field "slots", which Qt's headers turn into a
// keyword: it must come first.
#include "VUVUdoRizari_Exit.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>

#include "SystemConfig.h"
#include "VUVUdoRizari.h"
#include "ZTLog.h"
#include "common_function.h"
#include "global_def_var.h"

int main(int argc, char* argv[])
{
    parse_commandline(argc, argv);

    char selfPath[ZT_PATH_LEN];
    int32_t other = 0;
    if (ztFilesPath(selfPath, "bin/tarndaemon") && findpid_selfProcess(&other, selfPath)) {
        printf("+DEBUG: main.cpp proess_id(%d) already exist\n", other);
        return 0;
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
