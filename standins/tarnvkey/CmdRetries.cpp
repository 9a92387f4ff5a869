#include <ostream>

#include "Report.h"
#include "Store.h"

namespace tarnvkey {

int runRetries(Context& context)
{
    ParsedArgs args;
    int code;
    if (!parseCommand(context, "retries", 2, {}, {}, &args, &code))
        return code;
    const std::string& text = args.positional[1];
    int attempts = 0;
    bool number = !text.empty() && text.size() <= 3;
    for (char c : text)
        number = number && c >= '0' && c <= '9';
    if (number)
        attempts = std::stoi(text);
    if (!number || attempts > vtoken::kMaxAttempts)
        return usageError(context, "retries", "N is a number from 0 to 255, not '" + text + "'");
    vtoken::Status status = vtoken::Store(context.storeFolder).setRetries(args.positional[0], attempts);
    if (status != vtoken::Status::Ok)
        return failStatus(context, args.positional[0], status);
    *context.out << "key " << args.positional[0] << ": " << attempts << " PIN attempts left\n";
    return kExitOk;
}

}  // namespace tarnvkey
