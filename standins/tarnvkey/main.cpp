// tarnvkey: manages the virtual keys of the software token.
#include <csignal>
#include <iostream>

#include "Args.h"
#include "Commands.h"
#include "StoreConfig.h"

int main(int argc, char** argv)
{
    using namespace tarnvkey;
    // Under a file size limit the signal would end the tool in the middle of
    // an update without a word; ignored, the write fails with its reason.
    signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    Context context;
    context.out = &std::cout;
    context.err = &std::cerr;

    size_t i = 0;
    bool storeGiven = false;
    for (; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h" || args[i] == "help") {
            printUsage(std::cout);
            return kExitOk;
        }
        if (args[i] == "--store" || args[i].compare(0, 8, "--store=") == 0) {
            if (storeGiven) {
                std::cerr << "tarnvkey: --store is given twice\n";
                return kExitUsage;
            }
            if (args[i] == "--store") {
                if (i + 1 >= args.size() || args[i + 1].empty()) {
                    std::cerr << "tarnvkey: --store needs a folder\n";
                    return kExitUsage;
                }
                context.storeFolder = args[++i];
            } else {
                context.storeFolder = args[i].substr(8);
            }
            storeGiven = true;
            continue;
        }
        break;
    }
    if (i >= args.size()) {
        printUsage(std::cerr);
        return kExitUsage;
    }
    const Command* command = findCommand(args[i]);
    if (!command) {
        std::cerr << "tarnvkey: unknown command '" << args[i] << "' (tarnvkey --help lists them)\n";
        return kExitUsage;
    }
    context.args.assign(args.begin() + static_cast<long>(i) + 1, args.end());
    for (const std::string& arg : context.args) {
        if (arg == "--help" || arg == "-h") {
            printCommandHelp(std::cout, *command);
            return kExitOk;
        }
    }
    if (!storeGiven)
        context.storeFolder = vtoken::configuredStoreFolder();
    if (command->usesStore) {
        const std::string problem = vtoken::storeFolderProblem(context.storeFolder);
        if (!problem.empty()) {
            std::cerr << "tarnvkey: " << problem << '\n';
            return kExitFailed;
        }
    }
    return command->handler(context);
}
