#pragma once
// tarnvkey's subcommands: a table of small handlers, one file each. A new
// subcommand is a handler file plus one row in Commands.cpp.
#include <iosfwd>
#include <string>
#include <vector>

namespace tarnvkey {

// What every handler gets: the store folder chosen by --store or the
// configuration, the arguments after the subcommand name, and the streams.
struct Context {
    std::string storeFolder;
    std::vector<std::string> args;
    std::ostream* out;
    std::ostream* err;
};

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the operation failed (unknown key, bad certificate, ...)
constexpr int kExitUsage = 2;   // the command line is wrong

struct Command {
    const char* name;
    int (*handler)(Context& context);
    const char* usage;  // arguments after the name
    const char* help;   // one or more lines
    bool usesStore = true;
};

const std::vector<Command>& commands();
const Command* findCommand(const std::string& name);
void printUsage(std::ostream& out);
void printCommandHelp(std::ostream& out, const Command& command);

int runCreate(Context& context);
int runImport(Context& context);
int runPlug(Context& context);
int runUnplug(Context& context);
int runList(Context& context);
int runRetries(Context& context);
int runDelete(Context& context);
int runRunDaemon(Context& context);
int runCert(Context& context);

}  // namespace tarnvkey
