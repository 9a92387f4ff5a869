#pragma once
// Where the stand-ins find the installation tree. The maker's libraries use the
// fixed root; our stand-ins also honour the ZVIT_FILES_ROOT environment
// variable so a test or a demo can run a whole tree of its own in one process.
#include <string>

// The installation root with its final slash.
std::string ztStandinRoot();
// ConfigFile/Config.ini below that root.
std::string ztStandinConfigPath();
