// The ini half of the library: every configuration read and write of both programs.
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "Export.h"
#include "IniFile.h"
#include "OutputBuffer.h"

namespace {

uint32_t toCode(ztini::Status status)
{
    switch (status) {
    case ztini::Status::Ok:
        return ZTUTIL_OK;
    case ztini::Status::NotFound:
        return ZTUTIL_ERR_NOT_FOUND;
    case ztini::Status::BadArgument:
        return ZTUTIL_ERR_INVALID_ARG;
    case ztini::Status::IoError:
        break;
    }
    return ZTUTIL_ERR_IO;
}

// Decimal or 0x-hexadecimal, the whole text, within 32 bits.
bool parseUInt(const std::string& text, uint32_t* value)
{
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ' || text[0] == '\t')
        return false;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    errno = 0;
    char* end = nullptr;
    unsigned long long parsed = strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || !end || *end != '\0' || parsed > 0xFFFFFFFFull)
        return false;
    *value = static_cast<uint32_t>(parsed);
    return true;
}

}  // namespace

ZTUTIL_EXPORT uint32_t ZTUtil_GetIniStringA(const char* section, const char* key, const char* defaultValue,
                                            char* value, size_t* size, const char* iniPath)
{
    if (!section || !key || !value || !size || !iniPath)
        return ZTUTIL_ERR_INVALID_ARG;
    std::string text;
    ztini::Status status = ztini::readValue(iniPath, section, key, &text);
    if (status != ztini::Status::Ok)
        text = defaultValue ? defaultValue : "";
    uint32_t copied = ztCopyText(text, value, size);
    if (copied != ZTUTIL_OK)
        return copied;
    // A missing file, section or key is what the default is for; a file that
    // exists but cannot be read is an error the caller must see.
    return status == ztini::Status::Ok || status == ztini::Status::NotFound ? ZTUTIL_OK : toCode(status);
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_GetIniStringA);

ZTUTIL_EXPORT uint32_t ZTUtil_WriteIniStringA(const char* section, const char* key, const char* value,
                                              const char* iniPath)
{
    if (!section || !key || !value || !iniPath)
        return ZTUTIL_ERR_INVALID_ARG;
    return toCode(ztini::writeValue(iniPath, section, key, value));
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_WriteIniStringA);

ZTUTIL_EXPORT uint32_t ZTUtil_GetIniUIntA(const char* section, const char* key, uint32_t defaultValue,
                                          const char* iniPath)
{
    if (!section || !key || !iniPath)
        return defaultValue;
    std::string text;
    uint32_t value = defaultValue;
    if (ztini::readValue(iniPath, section, key, &text) != ztini::Status::Ok || !parseUInt(text, &value))
        return defaultValue;
    return value;
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_GetIniUIntA);

ZTUTIL_EXPORT uint32_t ZTUtil_WriteIniUIntA(const char* section, const char* key, uint32_t value,
                                            const char* iniPath)
{
    if (!section || !key || !iniPath)
        return ZTUTIL_ERR_INVALID_ARG;
    return toCode(ztini::writeValue(iniPath, section, key, std::to_string(value)));
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_WriteIniUIntA);

ZTUTIL_EXPORT uint32_t ZTUtil_GetIniKeyNamesA(const char* section, char* names, size_t* size, const char* iniPath)
{
    if (!section || !names || !size || !iniPath)
        return ZTUTIL_ERR_INVALID_ARG;
    std::vector<std::string> keys;
    ztini::Status status = ztini::keyNames(iniPath, section, &keys);
    if (status != ztini::Status::Ok && status != ztini::Status::NotFound)
        return toCode(status);
    // name\0name\0\0; a missing section gives the empty list.
    std::string list;
    for (const std::string& key : keys)
        list += key + '\0';
    size_t needed = list.size() + 1;
    if (*size < needed) {
        if (*size >= 1)
            names[0] = '\0';  // an empty list
        *size = needed;
        return ZTUTIL_ERR_BUFFER_TOO_SMALL;
    }
    list.copy(names, list.size());
    names[list.size()] = '\0';
    *size = needed;
    return ZTUTIL_OK;
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_GetIniKeyNamesA);
