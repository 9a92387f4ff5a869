#pragma once
// Where the store is and how the shared objects are named, from the
// installation's Config.ini (found through ZVIT_FILES_ROOT or the compiled root).
//
// Store folder: [VirtualToken] StorePath. Empty or missing: $XDG_DATA_HOME/zvit-vtoken,
// else $HOME/.local/share/zvit-vtoken (each only when absolute), else none (""):
// then nothing can be stored. A relative StorePath is taken below the
// installation root.
#include <string>

namespace vtoken {

std::string configuredStoreFolder();
std::string defaultStoreFolder();
// Why keys may not be kept in folder, naming it and the fix, or "" when they
// may. Another user could read, replace or move the records of a folder that
// is not this user's or that group or others can write. A missing folder is
// fine: it is made when needed.
std::string storeFolderProblem(const std::string& folder);
// [ZTTokenInfo] CSPName, "Zenvit Base CSP v1.0" when missing.
std::string configuredCspName();
// Upper-cased byte by byte, blanks and periods dropped (the rule every
// process deriving shared names uses).
std::string simplifyCspName(const std::string& cspName);
// Segment and lock of the memory certificate store, without the leading '/'.
std::string memStoreSegmentName();  // simplified CSPName + "CSPX64"
std::string memStoreLockName();     // simplified CSPName + "TKSHMLOCK"

}  // namespace vtoken
