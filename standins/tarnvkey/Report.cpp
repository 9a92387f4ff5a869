#include "Report.h"

#include <ostream>

#include "AtomicFile.h"
#include "CertInfo.h"
#include "Store.h"

namespace tarnvkey {

int fail(Context& context, const std::string& message)
{
    *context.err << "tarnvkey: " << message << '\n';
    return kExitFailed;
}

int failStatus(Context& context, const std::string& serial, vtoken::Status status)
{
    std::string where = serial.empty() ? std::string() : "key " + serial + ": ";
    if (status == vtoken::Status::NotFound)
        return fail(context, "no key with serial number " + serial + " in " + context.storeFolder);
    if (status == vtoken::Status::IoError) {
        // A full disk or a size limit is something the user can act on: say so.
        const std::string reason = vtoken::lastStoreError();
        if (!reason.empty())
            return fail(context, where + "cannot write the store " + context.storeFolder + ": " + reason);
        return fail(context, where + "cannot read or write the store " + context.storeFolder);
    }
    return fail(context, where + vtoken::statusText(status));
}

int usageError(Context& context, const char* commandName, const std::string& message)
{
    *context.err << "tarnvkey: " << message << '\n';
    if (const Command* command = findCommand(commandName)) {
        *context.err << "usage: ";
        printCommandHelp(*context.err, *command);
    }
    return kExitUsage;
}

bool parseCommand(Context& context, const char* commandName, size_t positionalCount,
                  const std::set<std::string>& valued, const std::set<std::string>& flags, ParsedArgs* parsed,
                  int* exitCode)
{
    std::string error;
    if (!parseArgs(context.args, valued, flags, parsed, &error)) {
        *exitCode = usageError(context, commandName, error);
        return false;
    }
    if (parsed->positional.size() != positionalCount) {
        *exitCode = usageError(context, commandName,
                               parsed->positional.size() < positionalCount ? "missing argument"
                                                                            : "too many arguments");
        return false;
    }
    return true;
}

bool readCertificateFile(Context& context, const std::string& file, std::vector<uint8_t>* der, int* exitCode)
{
    std::string content;
    if (!ztfile::readAll(file, &content)) {
        *exitCode = fail(context, "cannot read certificate file " + file);
        return false;
    }
    // Far more than any certificate the store takes: a larger file is refused unread.
    if (content.size() > 64 * 1024 || vtoken::certificateFromFile(content, der) != vtoken::Status::Ok) {
        *exitCode = fail(context, file + ": not one PEM or DER certificate of at most 4096 bytes");
        return false;
    }
    return true;
}

}  // namespace tarnvkey
