// Manager launch: after a pass that found new keys, start the manager through
// its launch script unless it already runs.
#include <QProcess>
#include <QStringList>
#include <pthread.h>
#include <unistd.h>

#include "common/ProcessScan.h"
#include "Daemon.h"
#include "common/ZTLog.h"
#include "common/global_def_var.h"

// A script that cannot bring the manager up is retried a few times with a
// growing pause, not for ever.
LaunchPolicy g_launchPolicy = {6, 1000, 16000};

namespace {

// Only this user's managers count: another account's manager does not show
// this user's keys, and a look-alike name proves nothing.
int runningManagers()
{
    char program[ZT_PATH_LEN];
    if (!ztFilesPath(program, "bin/tarnukey"))
        return 0;
    return static_cast<int>(processesRunningProgram(program, geteuid()).size());
}

}  // namespace

QString managerLaunchScript()
{
    char program[ZT_PATH_LEN];
    if (!ztFilesPath(program, "bin/tarnukey"))
        return QString();
    const QString path = QString::fromUtf8(program);
    const int slash = path.lastIndexOf('/');
    const QString folder = slash < 0 ? path : path.left(slash);
    return QString("%1/runukey.sh").arg(folder);
}

void* runManagerLauncher(void* arg)
{
    const LaunchRequest* request = static_cast<const LaunchRequest*>(arg);
    const uint64_t position = request->position;
    const bool autoShow = request->autoShow;
    delete request;

    const LaunchPolicy policy = g_launchPolicy;
    int starts = 0;
    int pauseMs = policy.firstPauseMs;
    for (;;) {
        const int count = runningManagers();
        if (position != g_nPostions_add)
            break;
        if (count > 0) {
            ZTLog::DaemonWriteLog(ZT_LOG_STEP, "VUVUdoRizari", __LINE__, "ZUdeVovavadErud is already running. %d",
                                  count);
            break;
        }
        if (starts >= policy.maxStarts) {
            ZTLog::DaemonWriteLog(ZT_LOG_FAILURE, "VUVUdoRizari", __LINE__,
                                  "ZUdeVovavadErud did not start after %d tries, giving up.", starts);
            break;
        }
        const QString script = managerLaunchScript();
        ZTLog::DaemonWriteLog(ZT_LOG_STEP, "VUVUdoRizari", __LINE__, "try running ZUdeVovavadErud %s",
                              script.toUtf8().constData());
        const QStringList arguments = autoShow ? QStringList() : QStringList {"-sys"};
        QProcess::startDetached(script, arguments);
        ++starts;
        usleep(static_cast<useconds_t>(pauseMs) * 1000);
        pauseMs = qMin(pauseMs * 2, policy.maxPauseMs);
    }
    ZTLog::DaemonWriteLog(ZT_LOG_STEP, "VUVUdoRizari", __LINE__, "leave startOrStopZudeVovavadEruds.\n");
    return nullptr;
}

void startLauncherThread(const LaunchRequest& request)
{
    LaunchRequest* copy = new LaunchRequest(request);
    pthread_t thread;
    if (pthread_create(&thread, nullptr, runManagerLauncher, copy) != 0) {
        delete copy;
        return;
    }
    pthread_detach(thread);
}
