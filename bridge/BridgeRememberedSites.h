#pragma once
// The sites the user allowed or refused for good, from the user's settings
// file. Read again only when that file changed (the options dialog may forget
// a site at any time), and looked up in sets, so a long list costs nothing
// per connection.
#include <QSet>
#include <QString>
#include <sys/types.h>
#include <ctime>

class BridgeRememberedSites
{
public:
    bool allowed(const QString& site);
    bool denied(const QString& site);
    void remember(const QString& site, bool allow);

private:
    void refresh();

    QSet<QString> allowedSites;
    QSet<QString> deniedSites;
    bool loaded = false;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified {};
};
