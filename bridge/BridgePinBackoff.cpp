#include "BridgePinBackoff.h"

#include <algorithm>

void BridgePinBackoff::setDelays(int first, int last)
{
    firstMs = std::max(first, 0);
    lastMs = std::max(last, firstMs);
}

qint64 BridgePinBackoff::remainingMs(const QString& site, qint64 now) const
{
    const auto it = sites.constFind(site);
    if (it == sites.constEnd())
        return 0;
    return std::max<qint64>(0, it->notBeforeMs - now);
}

void BridgePinBackoff::result(const QString& site, bool refused, qint64 now)
{
    if (!refused) {
        sites.remove(site);
        return;
    }
    if (sites.size() >= kMaxSites && !sites.contains(site)) {
        for (auto it = sites.begin(); it != sites.end();)
            it = it->notBeforeMs + lastMs < now ? sites.erase(it) : std::next(it);
    }
    Wait& w = sites[site];
    w.nextDelayMs = w.nextDelayMs == 0 ? firstMs : std::min<qint64>(lastMs, w.nextDelayMs * 2);
    w.notBeforeMs = now + w.nextDelayMs;
}
