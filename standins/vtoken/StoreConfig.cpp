#include "StoreConfig.h"

#include <cctype>
#include <cstdlib>

#include "IniFile.h"
#include "StandinRoot.h"

namespace vtoken {

std::string defaultStoreFolder()
{
    const char* xdg = getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/zvit-vtoken";
    const char* home = getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/zvit-vtoken";
}

std::string configuredStoreFolder()
{
    std::string value;
    if (ztini::readValue(ztStandinConfigPath(), "VirtualToken", "StorePath", &value) != ztini::Status::Ok ||
        value.empty())
        return defaultStoreFolder();
    if (value[0] != '/')
        value = ztStandinRoot() + value;
    while (value.size() > 1 && value.back() == '/')
        value.pop_back();
    return value;
}

std::string configuredCspName()
{
    std::string value;
    if (ztini::readValue(ztStandinConfigPath(), "ZTTokenInfo", "CSPName", &value) != ztini::Status::Ok)
        return "Zenvit Base CSP v1.0";
    return value;
}

std::string simplifyCspName(const std::string& cspName)
{
    std::string out;
    for (char c : cspName) {
        if (c != ' ' && c != '.')
            out += static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string memStoreSegmentName()
{
    return simplifyCspName(configuredCspName()) + "CSPX64";
}

std::string memStoreLockName()
{
    return simplifyCspName(configuredCspName()) + "TKSHMLOCK";
}

}  // namespace vtoken
