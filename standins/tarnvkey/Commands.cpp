#include "Commands.h"

#include <ostream>

namespace tarnvkey {

const std::vector<Command>& commands()
{
    static const std::vector<Command> table = {
        {"create", runCreate, "SERIAL --label TEXT --pin PIN [--pin-changed] [--admin-pin PIN] [--uninitialised]",
         "Creates an unplugged virtual key. SERIAL: 1-16 letters, digits, '-' or '_'.\n"
         "TEXT: 1-32 bytes of UTF-8. PIN: 6-16 bytes without control characters.\n"
         "Without --pin-changed the key asks for a new PIN before first use.\n"
         "The admin PIN (unlocks the user PIN) is 88888888 unless given.\n"
         "--uninitialised makes a key that must be formatted before use."},
        {"import", runImport, "SERIAL CERTFILE --container NAME --type rsa|sm2 --usage sign|exch",
         "Stores a certificate (PEM or DER, at most 4096 bytes of DER) in a container of the key,\n"
         "creating the container when it is new (at most 8 per key). A certificate already\n"
         "there for that usage is replaced."},
        {"plug", runPlug, "SERIAL", "Plugs the key in: it takes the lowest free slot (0-3) and the token library lists it."},
        {"unplug", runUnplug, "SERIAL", "Pulls the key out: it leaves its slot and the token library no longer lists it."},
        {"list", runList, "[--json]",
         "Shows every key: serial, label, plugged and slot, PIN attempts left, PIN changed,\n"
         "initialised, and each container with its certificates' subjects."},
        {"cert", runCert, "CERTFILE",
         "Prints the rows the key manager's certificate viewer shows for a certificate (PEM or DER):\n"
         "one row a line: the field name, a tab, the value with \"\\\" written as \"\\\\\"\n"
         "and line feeds as \"\\n\". Exit status 1 when the certificate does not decode.",
         false},
        {"retries", runRetries, "SERIAL N", "Sets the user PIN attempts left to N (0-255; 0 locks the PIN)."},
        {"delete", runDelete, "SERIAL", "Deletes the key and everything on it."},
        {"run-daemon", runRunDaemon, "[-- DAEMON ARGUMENTS]",
         "Runs tarndaemon in the foreground on a simulated USB bus holding one device per plugged\n"
         "key; while it runs, plug and unplug also add and remove that device, as a real key would."},
    };
    return table;
}

const Command* findCommand(const std::string& name)
{
    for (const Command& command : commands()) {
        if (name == command.name)
            return &command;
    }
    return nullptr;
}

void printCommandHelp(std::ostream& out, const Command& command)
{
    out << "tarnvkey [--store DIR] " << command.name << ' ' << command.usage << '\n';
    std::string help = command.help;
    size_t start = 0;
    while (start < help.size()) {
        size_t end = help.find('\n', start);
        out << "    " << help.substr(start, end == std::string::npos ? std::string::npos : end - start) << '\n';
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
}

void printUsage(std::ostream& out)
{
    out << "tarnvkey: manages the virtual USB keys of the software token.\n"
           "\n"
           "A virtual key stands in for a bank's USB key: it has a serial number, a label,\n"
           "a user PIN, and containers holding certificates. Plugged keys are seen by the\n"
           "key manager and the device daemon as if they were real.\n"
           "\n"
           "Store: --store DIR, else [VirtualToken] StorePath of ConfigFile/Config.ini below the\n"
           "installation root (ZVIT_FILES_ROOT), else $XDG_DATA_HOME/zvit-vtoken, else\n"
           "$HOME/.local/share/zvit-vtoken.\n"
           "\n"
           "Commands:\n";
    for (const Command& command : commands())
        printCommandHelp(out, command);
    out << "\n"
           "tarnvkey COMMAND --help shows one command. Exit status: 0 done, 1 failed, 2 bad command line.\n"
           "\n"
           "Example:\n"
           "    tarnvkey create K0001 --label \"My key\" --pin 12345678\n"
           "    tarnvkey import K0001 me.pem --container main --type rsa --usage sign\n"
           "    tarnvkey plug K0001\n";
}

}  // namespace tarnvkey
