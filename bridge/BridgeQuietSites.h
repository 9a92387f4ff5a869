#pragma once
// Sites the user refused, or did not answer about, are not asked about again
// for a while, so a page cannot keep a question on the screen. Times are the
// caller's clock, in ms.
#include <QHash>
#include <QString>

class BridgeQuietSites
{
public:
    void keepQuiet(const QString& origin, qint64 now);
    bool quiet(const QString& origin, qint64 now) const;

    static constexpr qint64 kQuietMs = 60 * 1000;
    // Sites kept at most; expired ones go first.
    static constexpr int kMaxSites = 256;

private:
    // Not asked about again before the time given.
    QHash<QString, qint64> sites;
};
