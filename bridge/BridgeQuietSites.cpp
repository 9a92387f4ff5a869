#include "BridgeQuietSites.h"

#include <iterator>

void BridgeQuietSites::keepQuiet(const QString& origin, qint64 now)
{
    if (sites.size() >= kMaxSites) {
        for (auto it = sites.begin(); it != sites.end();)
            it = *it <= now ? sites.erase(it) : std::next(it);
    }
    if (sites.size() < kMaxSites)
        sites.insert(origin, now + kQuietMs);
}

bool BridgeQuietSites::quiet(const QString& origin, qint64 now) const
{
    const auto it = sites.constFind(origin);
    return it != sites.constEnd() && *it > now;
}
