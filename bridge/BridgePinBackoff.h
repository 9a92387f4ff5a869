#pragma once
// How long a site's next PIN request waits after its failed ones: the first
// delay after one failure, twice as long after each further one, at most the
// last; a request the key accepts clears it. Times are the caller's clock, in ms.
#include <QHash>
#include <QString>

class BridgePinBackoff
{
public:
    void setDelays(int firstMs, int lastMs);
    // What is left of the site's wait at now (0: none).
    qint64 remainingMs(const QString& site, qint64 now) const;
    // The site's PIN request ended; refused: the key turned the PIN down.
    void result(const QString& site, bool refused, qint64 now);

    // Sites kept at most; expired ones go first.
    static constexpr int kMaxSites = 256;

private:
    struct Wait {
        qint64 notBeforeMs = 0;
        qint64 nextDelayMs = 0;
    };
    int firstMs = 1000;
    int lastMs = 60 * 1000;
    // Per site (normalised origin, "" for local programs).
    QHash<QString, Wait> sites;
};
