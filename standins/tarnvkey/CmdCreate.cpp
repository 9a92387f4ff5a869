#include <ostream>

#include "Pin.h"
#include "Report.h"
#include "Store.h"

namespace tarnvkey {

int runCreate(Context& context)
{
    ParsedArgs args;
    int code;
    if (!parseCommand(context, "create", 1, {"label", "pin", "admin-pin"}, {"pin-changed", "uninitialised"}, &args,
                      &code))
        return code;
    const std::string& serial = args.positional[0];
    if (!args.values.count("label") || !args.values.count("pin"))
        return usageError(context, "create", "--label and --pin are required");
    if (!vtoken::validSerial(serial))
        return fail(context, "bad serial number '" + serial + "': 1-16 letters, digits, '-' or '_'");
    if (!vtoken::validLabel(args.values["label"]))
        return fail(context, "bad label: 1-32 bytes of UTF-8 without control characters");
    if (!vtoken::validPin(args.values["pin"]))
        return fail(context, "bad PIN: 6-16 bytes without control characters");
    vtoken::KeyRecord record;
    vtoken::Status status =
        vtoken::newKeyRecord(serial, args.values["label"], args.values["pin"], args.flags.count("pin-changed") > 0,
                             &record);
    if (status == vtoken::Status::Ok && args.values.count("admin-pin")) {
        if (!vtoken::validPin(args.values["admin-pin"]))
            return fail(context, "bad admin PIN: 6-16 bytes without control characters");
        status = vtoken::setPinSecret(&record.adminPin, args.values["admin-pin"]);
    }
    record.initialised = args.flags.count("uninitialised") == 0;
    if (status == vtoken::Status::Ok)
        status = vtoken::Store(context.storeFolder).create(record);
    if (status != vtoken::Status::Ok)
        return failStatus(context, serial, status);
    *context.out << "created key " << serial << " (" << record.deviceName << "), not plugged\n";
    return kExitOk;
}

}  // namespace tarnvkey
