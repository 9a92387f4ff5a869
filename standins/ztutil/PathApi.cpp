// Where the configuration and the chosen translation file are.
#include <string>

#include "Export.h"
#include "IniFile.h"
#include "OutputBuffer.h"
#include "StandinRoot.h"

namespace {

const char kDefaultLanguage[] = "2052";

// The code becomes part of a path: anything but a plain name (say "../x")
// falls back to the default instead of pointing outside the language folder.
bool plainCode(const std::string& code)
{
    if (code.empty() || code.size() > 32)
        return false;
    for (char c : code)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '-'))
            return false;
    return true;
}

}  // namespace

ZTUTIL_EXPORT uint32_t ZTUtil_GetConfigPathA(char* path, size_t* size)
{
    return ztCopyText(ztStandinConfigPath(), path, size);
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_GetConfigPathA);

ZTUTIL_EXPORT uint32_t ZTUtil_GetCurrentLanguagePathA(char* path, size_t* size)
{
    std::string folder = ztStandinRoot() + "Languages/";
    std::string code;
    if (ztini::readValue(folder + "Language.ini", "LanguageDefaultSetting", "language", &code) != ztini::Status::Ok ||
        !plainCode(code))
        code = kDefaultLanguage;
    return ztCopyText(folder + code + ".qm", path, size);
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_GetCurrentLanguagePathA);
