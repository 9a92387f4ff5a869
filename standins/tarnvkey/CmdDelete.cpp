#include <ostream>

#include "Report.h"
#include "Store.h"

namespace tarnvkey {

int runDelete(Context& context)
{
    ParsedArgs args;
    int code;
    if (!parseCommand(context, "delete", 1, {}, {}, &args, &code))
        return code;
    vtoken::Status status = vtoken::Store(context.storeFolder).remove(args.positional[0]);
    if (status != vtoken::Status::Ok)
        return failStatus(context, args.positional[0], status);
    *context.out << "key " << args.positional[0] << " deleted\n";
    return kExitOk;
}

}  // namespace tarnvkey
