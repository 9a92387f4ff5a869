#include "StoreConfig.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "IniFile.h"
#include "StandinRoot.h"

namespace vtoken {

std::string defaultStoreFolder()
{
    const char* xdg = getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/zvit-vtoken";
    // No shared fallback such as /tmp: any local user could make it first.
    const char* home = getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share/zvit-vtoken";
    return std::string();
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

std::string storeFolderProblem(const std::string& folder)
{
    if (folder.empty())
        return "no key store folder: set XDG_DATA_HOME or HOME to an absolute path, or [VirtualToken] StorePath in " +
               ztStandinConfigPath();
    const std::string named = "the key store folder " + folder;
    struct stat link;
    if (lstat(folder.c_str(), &link) != 0) {
        if (errno == ENOENT)
            return std::string();  // made (mode 0700) when a key is created
        return named + " cannot be examined: " + strerror(errno);
    }
    const uid_t me = geteuid();
    // A link is as trustworthy as whoever may re-point it.
    if (S_ISLNK(link.st_mode) && link.st_uid != me && link.st_uid != 0)
        return named + " is a symbolic link of another user (uid " + std::to_string(link.st_uid) +
               "): remove it or choose another folder";
    struct stat info;
    if (stat(folder.c_str(), &info) != 0)
        return named + " cannot be examined: " + strerror(errno);
    if (!S_ISDIR(info.st_mode))
        return named + " is not a folder";
    if (info.st_uid != me)
        return named + " belongs to another user (uid " + std::to_string(info.st_uid) + ", not " +
               std::to_string(me) + "): choose a folder of your own, or chown " + std::to_string(me) + " " + folder;
    if (info.st_mode & (S_IWGRP | S_IWOTH))
        return named + " can be written by group or others: chmod go-w " + folder;
    return std::string();
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
