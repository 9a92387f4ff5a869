#include "StandinRoot.h"

#include <cstdlib>

#include "zvit_build_config.h"

std::string ztStandinRoot()
{
    const char* env = getenv("ZVIT_FILES_ROOT");
    std::string root = env && *env ? env : ZVIT_FILES_ROOT;
    if (root.back() != '/')
        root += '/';
    return root;
}

std::string ztStandinConfigPath()
{
    return ztStandinRoot() + "ConfigFile/Config.ini";
}
