#include "StartupChecks.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QThread>
#include <QTranslator>
#include <cstdio>

#include "registry/Pkcs11Mutex.h"
#include "registry/Pkcs11SharedMemory.h"
#include "common/ZTCommonDef.h"
#include "common/ZTLog.h"
#include "common/global_def_var.h"

#define LOG_SOURCE "StartupChecks"

namespace {

DWORD attachRegistry()
{
    DWORD code = OpenSharedMemory();
    if (code == 0)
        code = AttachToSharedMemeory();
    if (code == 0)
        code = CreateWinProcLock();
    return code;
}

QString installedPath(const char* relative)
{
    char path[ZT_PATH_LEN];
    return ztFilesPath(path, relative) ? QString::fromUtf8(path) : QString();
}

}  // namespace

QString keyLibraryPath(const char* fileName)
{
    return installedPath((QByteArray("Librarys/") + fileName).constData());
}

QString keyServiceProgram()
{
    return installedPath("bin/tarndaemon");
}

unsigned long attachKeyService(int waitMs)
{
    DWORD code = attachRegistry();
    if (code == 0)
        return 0;
    const QString program = keyServiceProgram();
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "no registry (0x%x), starting %s", static_cast<unsigned>(code),
                    program.toUtf8().constData());
    if (!QProcess::startDetached(program, QStringList()))
        return code;
    QElapsedTimer timer;
    timer.start();
    while ((code = attachRegistry()) != 0 && timer.elapsed() < waitMs)
        QThread::msleep(100);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "registry after %lld ms: 0x%x",
                    static_cast<long long>(timer.elapsed()), static_cast<unsigned>(code));
    return code;
}

int reportStartupFailure(const char* textKey, const QString& detail)
{
    QTranslator translator;
    translator.load(QString::fromUtf8(g_szLanguageQmFileName), QString(), QString(), QString());
    QCoreApplication::installTranslator(&translator);
    const QString text = QCoreApplication::translate("QObject", textKey).arg(detail);
    const QString title = QCoreApplication::translate("QObject", "MessageBox_Title_Notice");
    fprintf(stderr, "tarnukey: %s\n", text.toUtf8().constData());
    fflush(stderr);
    ZTLog::WriteLog(ZT_LOG_FAILURE, LOG_SOURCE, __LINE__, "%s", text.toUtf8().constData());
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("startupFailureBox"));
    box.exec();
    QCoreApplication::removeTranslator(&translator);
    return 1;
}
