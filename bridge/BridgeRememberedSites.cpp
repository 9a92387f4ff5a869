#include "BridgeRememberedSites.h"

#include <QFile>
#include <sys/stat.h>

#include "BridgeConfig.h"
#include "BridgeLog.h"
#include "common/UserSettings.h"
#include "common/global_def_var.h"

namespace {

QSet<QString> readSites(const char* key)
{
    QSet<QString> sites;
    for (const QString& entry : readUserList(ZT_BRIDGE_SECTION, key)) {
        const QString site = bridgeNormaliseOrigin(entry);
        if (!site.isEmpty() && !bridgeOriginAnonymous(site))
            sites.insert(site);
    }
    return sites;
}

// Written back in the order read, the new site last.
QStringList listedSites(const char* key)
{
    QStringList sites;
    QSet<QString> seen;
    for (const QString& entry : readUserList(ZT_BRIDGE_SECTION, key)) {
        const QString site = bridgeNormaliseOrigin(entry);
        if (!site.isEmpty() && !bridgeOriginAnonymous(site) && !seen.contains(site)) {
            seen.insert(site);
            sites << site;
        }
    }
    return sites;
}

}  // namespace

void BridgeRememberedSites::refresh()
{
    struct stat st {};
    const QByteArray path = QFile::encodeName(userSettingsPath());
    if (path.isEmpty() || stat(path.constData(), &st) != 0)
        st = {};
    // The file is replaced whole when written: a new inode or time says so.
    if (loaded && st.st_ino == inode && st.st_size == size && st.st_mtim.tv_sec == modified.tv_sec &&
        st.st_mtim.tv_nsec == modified.tv_nsec)
        return;
    allowedSites = readSites(ZT_BRIDGE_KEY_REMEMBERED_ALLOWED);
    deniedSites = readSites(ZT_BRIDGE_KEY_REMEMBERED_DENIED);
    loaded = true;
    inode = st.st_ino;
    size = st.st_size;
    modified = st.st_mtim;
}

bool BridgeRememberedSites::allowed(const QString& site)
{
    refresh();
    return allowedSites.contains(site);
}

bool BridgeRememberedSites::denied(const QString& site)
{
    refresh();
    return deniedSites.contains(site);
}

void BridgeRememberedSites::remember(const QString& origin, bool allow)
{
    const char* keep = allow ? ZT_BRIDGE_KEY_REMEMBERED_ALLOWED : ZT_BRIDGE_KEY_REMEMBERED_DENIED;
    const char* other = allow ? ZT_BRIDGE_KEY_REMEMBERED_DENIED : ZT_BRIDGE_KEY_REMEMBERED_ALLOWED;
    QStringList kept = listedSites(keep);
    QStringList others = listedSites(other);
    QString reason;
    if (others.removeAll(origin) > 0 && writeUserList(ZT_BRIDGE_SECTION, other, others, &reason) != 0)
        BRIDGE_LOG("could not forget origin %s in %s: %s", origin.left(256).toUtf8().constData(), other,
                   reason.toUtf8().constData());
    if (!kept.contains(origin)) {
        kept << origin;
        if (writeUserList(ZT_BRIDGE_SECTION, keep, kept, &reason) != 0)
            BRIDGE_LOG("could not remember origin %s in %s: %s", origin.left(256).toUtf8().constData(), keep,
                       reason.toUtf8().constData());
    }
    loaded = false;
}
