#include <ostream>
#include <vector>

#include "certs/CertDecode.h"
#include "Report.h"

namespace tarnvkey {

int runCert(Context& context)
{
    ParsedArgs args;
    int code;
    if (!parseCommand(context, "cert", 1, {}, {}, &args, &code))
        return code;
    const std::string& file = args.positional[0];
    std::vector<uint8_t> der;
    if (!readCertificateFile(context, file, &der, &code))
        return code;

    bool parsed = false;
    std::vector<CertRow> rows = certificateRowTexts(der.data(), der.size(), &parsed);
    *context.out << certificateRowLines(rows);
    if (!parsed)
        return fail(context, file + ": the certificate does not decode; the rows above are what the viewer shows for it");
    return kExitOk;
}

}  // namespace tarnvkey
