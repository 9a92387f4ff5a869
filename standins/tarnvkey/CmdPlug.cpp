#include <ostream>

#include "DaemonRelay.h"
#include "Report.h"
#include "Store.h"

namespace tarnvkey {

int runPlug(Context& context)
{
    ParsedArgs args;
    int code;
    if (!parseCommand(context, "plug", 1, {}, {}, &args, &code))
        return code;
    int slot = -1;
    vtoken::Status status = vtoken::Store(context.storeFolder).plug(args.positional[0], &slot);
    if (status != vtoken::Status::Ok)
        return failStatus(context, args.positional[0], status);
    std::string relayError;
    if (!relayToRunningDaemon(context.storeFolder, "plug", args.positional[0], &relayError))
        return fail(context, relayError);
    *context.out << "key " << args.positional[0] << " plugged in slot " << slot << '\n';
    return kExitOk;
}

int runUnplug(Context& context)
{
    ParsedArgs args;
    int code;
    if (!parseCommand(context, "unplug", 1, {}, {}, &args, &code))
        return code;
    vtoken::Status status = vtoken::Store(context.storeFolder).unplug(args.positional[0]);
    if (status != vtoken::Status::Ok)
        return failStatus(context, args.positional[0], status);
    std::string relayError;
    if (!relayToRunningDaemon(context.storeFolder, "unplug", args.positional[0], &relayError))
        return fail(context, relayError);
    *context.out << "key " << args.positional[0] << " unplugged\n";
    return kExitOk;
}

}  // namespace tarnvkey
