#include <ostream>
#include <vector>

#include "AtomicFile.h"
#include "CertDecode.h"
#include "CertInfo.h"
#include "Report.h"

namespace tarnvkey {

int runCert(Context& context)
{
    ParsedArgs args;
    int code;
    if (!parseCommand(context, "cert", 1, {}, {}, &args, &code))
        return code;
    const std::string& file = args.positional[0];
    std::string content;
    if (!ztfile::readAll(file, &content))
        return fail(context, "cannot read certificate file " + file);
    std::vector<uint8_t> der;
    if (content.size() > 64 * 1024 || vtoken::certificateFromFile(content, &der) != vtoken::Status::Ok)
        return fail(context, file + ": not one PEM or DER certificate of at most 4096 bytes");

    bool parsed = false;
    std::vector<CertRow> rows = certificateRowTexts(der.data(), der.size(), &parsed);
    *context.out << certificateRowLines(rows);
    if (!parsed)
        return fail(context, file + ": the certificate does not decode; the rows above are what the viewer shows for it");
    return kExitOk;
}

}  // namespace tarnvkey
