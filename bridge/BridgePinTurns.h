#pragma once
// Whose PIN request of a site goes to the key now: one at a time per site,
// the others wait in arrival order. Several connections of one page then
// cannot spend attempts side by side, and the wait after a failure is
// decided when each turn comes.
#include <QHash>
#include <QString>
#include <deque>

class BridgePinTurns
{
public:
    // True when id holds the site's turn now; otherwise it waits.
    bool request(const QString& site, quint64 id);
    // id's request ended or went away; returns who holds the turn next (0: nobody).
    quint64 release(const QString& site, quint64 id);

private:
    // Front: the holder.
    QHash<QString, std::deque<quint64>> sites;
};
