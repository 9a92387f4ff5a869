#include <ostream>

#include "CertInfo.h"
#include "Report.h"
#include "Store.h"

namespace tarnvkey {

int runImport(Context& context)
{
    ParsedArgs args;
    int code;
    if (!parseCommand(context, "import", 2, {"container", "type", "usage"}, {}, &args, &code))
        return code;
    const std::string& serial = args.positional[0];
    const std::string& file = args.positional[1];
    if (!args.values.count("container") || !args.values.count("type") || !args.values.count("usage"))
        return usageError(context, "import", "--container, --type and --usage are required");
    const std::string& name = args.values["container"];
    const std::string& type = args.values["type"];
    const std::string& usage = args.values["usage"];
    if (type != "rsa" && type != "sm2")
        return usageError(context, "import", "--type is rsa or sm2, not '" + type + "'");
    if (usage != "sign" && usage != "exch")
        return usageError(context, "import", "--usage is sign or exch, not '" + usage + "'");
    if (!vtoken::validContainerName(name))
        return fail(context, "bad container name: 1-64 bytes of UTF-8 without control characters");

    std::vector<uint8_t> der;
    if (!readCertificateFile(context, file, &der, &code))
        return code;

    const vtoken::KeyType keyType = type == "sm2" ? vtoken::KeyType::Sm2 : vtoken::KeyType::Rsa;
    std::string problem;
    bool replaced = false;
    vtoken::Status status = vtoken::Store(context.storeFolder).update(serial, [&](vtoken::KeyRecord& record) {
        vtoken::Container* target = nullptr;
        for (vtoken::Container& c : record.containers) {
            if (c.name == name)
                target = &c;
        }
        if (!target) {
            if (record.containers.size() >= vtoken::kMaxContainers)
                return vtoken::Status::ContainerFull;
            vtoken::Container fresh;
            fresh.name = name;
            fresh.type = keyType;
            record.containers.push_back(fresh);
            target = &record.containers.back();
        } else if (target->type != keyType) {
            problem = "container " + name + " holds " + (target->type == vtoken::KeyType::Sm2 ? "sm2" : "rsa") +
                      " keys, not " + type;
            return vtoken::Status::BadArgument;
        }
        std::vector<uint8_t>& slot = usage == "sign" ? target->signatureCert : target->exchangeCert;
        replaced = !slot.empty();
        slot = der;
        return vtoken::Status::Ok;
    });
    if (!problem.empty())
        return fail(context, "key " + serial + ": " + problem);
    if (status != vtoken::Status::Ok)
        return failStatus(context, serial, status);
    *context.out << (replaced ? "replaced " : "imported ") << (usage == "sign" ? "signature" : "exchange")
                 << " certificate of " << name << " on key " << serial << ": "
                 << vtoken::certificateSubject(der) << '\n';
    return kExitOk;
}

}  // namespace tarnvkey
