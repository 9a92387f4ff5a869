#include "UserSettings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ZTCommonDef.h"
#include "ZTLog.h"
#include "bindings/ZTUtil_fundef.h"
#include "global_def_var.h"

#define LOG_SOURCE "UserSettings"

namespace {

struct UserKey {
    const char* section;
    const char* key;
};

const UserKey kUserKeys[] = {
    {"UkeyManage", "OpenWebPageAtStartup"},
    {"UkeyManage", "ShowZUdeVovavadErudWhenInsertDev"},
    // The web bridge's remembered answers: normalised origins separated by ";".
    {"WebBridge", "RememberedAllowedSites"},
    {"WebBridge", "RememberedDeniedSites"},
};

// Another account that could write the file or its folder could change what
// this user's programs do; such a file is not read and not written.
QString privacyProblem(const QString& path, bool folder)
{
    struct stat st {};
    if (lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QString::fromLocal8Bit(strerror(errno));
    if (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
        return folder ? QStringLiteral("not a folder") : QStringLiteral("not a regular file");
    if (st.st_uid != geteuid())
        return QStringLiteral("owned by another user (uid %1)").arg(st.st_uid);
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("writable by group or others");
    return QString();
}

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

QString settingName(const char* section, const char* key)
{
    return QString::fromLatin1(section) + QLatin1Char('/') + QString::fromLatin1(key);
}

}  // namespace

QString userSettingsPath()
{
    QString base;
    const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
    if (xdg.startsWith('/')) {
        base = QFile::decodeName(xdg);
    } else {
        const QByteArray home = qgetenv("HOME");
        if (!home.startsWith('/'))
            return QString();
        base = QFile::decodeName(home) + QStringLiteral("/.config");
    }
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + QStringLiteral("/" ZT_USER_SETTINGS_FOLDER "/Config.ini");
}

bool isUserSetting(const char* section, const char* key)
{
    if (!section || !key)
        return false;
    for (const UserKey& entry : kUserKeys) {
        if (strcmp(entry.section, section) == 0 && strcmp(entry.key, key) == 0)
            return true;
    }
    return false;
}

bool readUserSetting(const char* section, const char* key, QString* value)
{
    if (!value || !isUserSetting(section, key))
        return false;
    const QString path = userSettingsPath();
    if (path.isEmpty() || !QFile::exists(path))
        return false;
    QString problem = privacyProblem(folderOf(path), true);
    if (problem.isEmpty())
        problem = privacyProblem(path, false);
    if (!problem.isEmpty()) {
        ZTLog::WriteLog(ZT_LOG_FAILURE, LOG_SOURCE, __LINE__, "user settings %s ignored: %s",
                        QFile::encodeName(path).constData(), problem.toUtf8().constData());
        return false;
    }
    QSettings settings(path, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    const QVariant stored = settings.value(settingName(section, key));
    if (!stored.isValid())
        return false;
    *value = stored.toString();
    return true;
}

uint32_t configUIntSetting(const char* section, const char* key, uint32_t fallback)
{
    QString text;
    if (readUserSetting(section, key, &text)) {
        bool ok = false;
        const uint value = text.trimmed().toUInt(&ok);
        if (ok)
            return value;
    }
    return ZTUtil_GetIniUIntA ? ZTUtil_GetIniUIntA(section, key, fallback, g_szConfigFilePath) : fallback;
}

uint32_t writeUserSetting(const char* section, const char* key, const QString& value, QString* reason)
{
    auto fail = [&](const QString& why) {
        ZTLog::WriteLog(ZT_LOG_FAILURE, LOG_SOURCE, __LINE__, "write %s/%s failed: %s", section, key,
                        why.toUtf8().constData());
        if (reason)
            *reason = why;
        return ZT_ERR_UNEXPECTED;
    };
    if (!isUserSetting(section, key))
        return ZT_ERR_INVALID_ARG;
    const QString path = userSettingsPath();
    if (path.isEmpty())
        return fail(QStringLiteral("neither XDG_CONFIG_HOME nor HOME is set"));
    const QString folder = folderOf(path);
    const QByteArray folderName = QFile::encodeName(folder);
    if (!QDir().mkpath(folderOf(folder)))
        return fail(folderOf(folder) + QStringLiteral(": cannot be created"));
    if (mkdir(folderName.constData(), 0700) != 0 && errno != EEXIST)
        return fail(folder + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno)));
    QString problem = privacyProblem(folder, true);
    if (!problem.isEmpty())
        return fail(folder + QStringLiteral(": ") + problem);
    // Made private before the first write: the save keeps the mode it finds.
    const int fd = open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0)
        close(fd);
    problem = privacyProblem(path, false);
    if (!problem.isEmpty())
        return fail(path + QStringLiteral(": ") + problem);

    QSettings settings(path, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.setValue(settingName(section, key), value);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return fail(path + QStringLiteral(": cannot be written (disk full or read-only?)"));
    return 0;
}

QStringList readUserList(const char* section, const char* key)
{
    QString text;
    QStringList entries;
    if (!readUserSetting(section, key, &text))
        return entries;
    for (const QString& entry : text.split(QLatin1Char(';'))) {
        const QString trimmed = entry.trimmed();
        if (!trimmed.isEmpty() && !entries.contains(trimmed))
            entries << trimmed;
    }
    return entries;
}

uint32_t writeUserList(const char* section, const char* key, const QStringList& entries, QString* reason)
{
    return writeUserSetting(section, key, entries.join(QLatin1Char(';')), reason);
}
