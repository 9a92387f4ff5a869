#pragma once
// How many connections and open questions one site may have, so that one
// page (or a program claiming many origins) cannot take every place: sites
// the bank lists keep room of their own.
class QString;

struct BridgeSiteCounts {
    int ofSite = 0;     // connections of this site, the new one not counted
    int unlisted = 0;   // connections of sites the bank does not list
};

enum class BridgeSiteRoom { Room, SiteFull, UnlistedFull };

class BridgeSiteLimits
{
public:
    static constexpr int kConnectionsPerSite = 8;
    // Of all places, what unlisted sites (and local programs) share.
    static constexpr int kUnlistedConnections = 16;
    static constexpr int kQuestionsPerSite = 4;

    static BridgeSiteRoom room(const BridgeSiteCounts& counts, bool listed)
    {
        if (counts.ofSite >= kConnectionsPerSite)
            return BridgeSiteRoom::SiteFull;
        if (!listed && counts.unlisted >= kUnlistedConnections)
            return BridgeSiteRoom::UnlistedFull;
        return BridgeSiteRoom::Room;
    }
    static bool mayAsk(int openQuestionsOfSite) { return openQuestionsOfSite < kQuestionsPerSite; }
};
