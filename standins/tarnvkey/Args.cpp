#include "Args.h"

namespace tarnvkey {

bool parseArgs(const std::vector<std::string>& args, const std::set<std::string>& valued,
               const std::set<std::string>& flags, ParsedArgs* parsed, std::string* error)
{
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            if (arg == "--") {
                optionsEnded = true;
                continue;
            }
            parsed->positional.push_back(arg);
            continue;
        }
        std::string name = arg.substr(2);
        std::string value;
        bool inlineValue = false;
        size_t eq = name.find('=');
        if (eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inlineValue = true;
        }
        if (parsed->has(name)) {
            *error = "--" + name + " is given twice";
            return false;
        }
        if (flags.count(name)) {
            if (inlineValue) {
                *error = "--" + name + " takes no value";
                return false;
            }
            parsed->flags.insert(name);
        } else if (valued.count(name)) {
            if (!inlineValue) {
                if (i + 1 >= args.size()) {
                    *error = "--" + name + " needs a value";
                    return false;
                }
                value = args[++i];
            }
            parsed->values[name] = value;
        } else {
            *error = "unknown option --" + name;
            return false;
        }
    }
    return true;
}

}  // namespace tarnvkey
