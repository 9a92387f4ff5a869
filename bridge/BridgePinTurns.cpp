#include "BridgePinTurns.h"

#include <algorithm>

bool BridgePinTurns::request(const QString& site, quint64 id)
{
    std::deque<quint64>& line = sites[site];
    if (std::find(line.begin(), line.end(), id) == line.end())
        line.push_back(id);
    return line.front() == id;
}

quint64 BridgePinTurns::release(const QString& site, quint64 id)
{
    const auto it = sites.find(site);
    if (it == sites.end())
        return 0;
    std::deque<quint64>& line = *it;
    const bool held = !line.empty() && line.front() == id;
    line.erase(std::remove(line.begin(), line.end(), id), line.end());
    if (line.empty()) {
        sites.erase(it);
        return 0;
    }
    return held ? line.front() : 0;
}
