#pragma once
// Options of one subcommand: "--name value", "--name=value" and flags.
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tarnvkey {

struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    bool has(const std::string& name) const { return values.count(name) || flags.count(name); }
};

// False with a message for an unknown or repeated option or a missing value.
bool parseArgs(const std::vector<std::string>& args, const std::set<std::string>& valued,
               const std::set<std::string>& flags, ParsedArgs* parsed, std::string* error);

}  // namespace tarnvkey
