#include "PolicyFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

const QList<PolicyFile>& policyFiles()
{
    static const QList<PolicyFile> files = {
        {"Chromium", "etc/chromium/policies/managed/tarn-ukey.json", "etc", chromiumPolicy},
        {"Google Chrome", "etc/opt/chrome/policies/managed/tarn-ukey.json", "etc/opt", chromiumPolicy},
        {"Microsoft Edge", "etc/opt/edge/policies/managed/tarn-ukey.json", "etc/opt", chromiumPolicy},
        {"Firefox ESR", "etc/firefox-esr/tarn-ukey.js", "etc", firefoxPreferences},
    };
    return files;
}

bool writePolicyFile(const QString& path, const QByteArray& content, QString* error)
{
    const QString folder = QFileInfo(path).path();
    // Browsers run as every user: the folders and the file must be readable by all.
    const mode_t mask = umask(022);
    const bool made = QDir().mkpath(folder);
    umask(mask);
    if (!made) {
        *error = QStringLiteral("cannot make the folder %1").arg(folder);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()
        || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                | QFileDevice::ReadOther)
        || !file.commit()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

bool removePolicyFile(const QString& path, const QString& keep, bool* removed, QString* error)
{
    *removed = false;
    const QByteArray native = QFile::encodeName(path);
    if (unlink(native.constData()) == 0) {
        *removed = true;
    } else if (errno != ENOENT) {
        *error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    // Only folders left empty go (a browser's own keep its files).
    QString folder = QFileInfo(path).path();
    while (folder.startsWith(keep + QLatin1Char('/')) && rmdir(QFile::encodeName(folder).constData()) == 0)
        folder = QFileInfo(folder).path();
    return true;
}
