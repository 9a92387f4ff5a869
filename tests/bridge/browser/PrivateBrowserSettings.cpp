#include "PrivateBrowserSettings.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

// "-m" as root, "-rm" (a user namespace of one's own) otherwise; empty when neither works.
const QStringList& unshareOptions(QString* reason)
{
    static QString why;
    static const QStringList options = [] {
        const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
        if (unshare.isEmpty()) {
            why = QStringLiteral("unshare (util-linux) is missing");
            return QStringList();
        }
        for (const QStringList& candidate : {QStringList {QStringLiteral("-m")}, QStringList {QStringLiteral("-rm")}}) {
            QProcess probe;
            probe.start(unshare, candidate + QStringList {QStringLiteral("mount"), QStringLiteral("--bind"),
                                                          QStringLiteral("/tmp"), QStringLiteral("/tmp")});
            if (probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
                return QStringList {unshare} + candidate;
            why = QString::fromLocal8Bit(probe.readAllStandardError()).trimmed();
        }
        why = QStringLiteral("this machine allows no private mount namespace (%1)").arg(why);
        return QStringList();
    }();
    if (reason)
        *reason = why;
    return options;
}

}  // namespace

bool privateBrowserSettingsAvailable(QString* reason)
{
    if (unshareOptions(reason).isEmpty())
        return false;
    for (const char* folder : {"/etc/chromium", "/etc/firefox-esr"}) {
        if (!QFileInfo(QString::fromLatin1(folder)).isDir()) {
            *reason = QStringLiteral("%1 is missing (the browsers are not installed)").arg(QLatin1String(folder));
            return false;
        }
    }
    return true;
}

void runWithBrowserSettings(const BrowserSettings& settings, QString* program, QStringList* args)
{
    QStringList command = unshareOptions(nullptr);
    command << QStringLiteral("sh") << QStringLiteral("-c")
            << QStringLiteral("mount --bind \"$1\" /etc/chromium && mount --bind \"$2\" /etc/firefox-esr && shift 2 "
                              "&& exec \"$@\"")
            << QStringLiteral("sh") << settings.chromium << settings.firefox << *program << *args;
    *program = command.takeFirst();
    *args = command;
}
