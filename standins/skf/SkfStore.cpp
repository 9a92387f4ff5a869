#include "SkfStore.h"

#include <cstring>

namespace skfstub {

const char* const kApplicationName = "ZVITAPP";

vtoken::Store store()
{
    return vtoken::Store::configured();
}

SKF_ULONG resultOf(vtoken::Status status)
{
    using vtoken::Status;
    switch (status) {
    case Status::Ok:
        return SAR_OK;
    case Status::NotFound:
    case Status::NotPlugged:
        return SAR_DEVICE_REMOVED;
    case Status::PinIncorrect:
        return SAR_PIN_INCORRECT;
    case Status::PinLocked:
        return SAR_PIN_LOCKED;
    case Status::PinLength:
        return SAR_PIN_LEN_RANGE;
    case Status::BadArgument:
        return SAR_INVALIDPARAMERR;
    case Status::NoContainer:
        return SAR_INVALIDPARAMERR;
    case Status::NoCert:
        return SAR_CERTNOTFOUNTERR;
    case Status::Damaged:
    case Status::IoError:
        return SAR_FILEERR;
    default:
        return SAR_FAIL;
    }
}

SKF_ULONG loadPluggedKey(const std::string& serial, vtoken::KeyRecord* record)
{
    const vtoken::Status status = store().load(serial, record);
    if (status != vtoken::Status::Ok)
        return resultOf(status);
    return record->plugged ? SAR_OK : SAR_DEVICE_REMOVED;
}

std::string serialOfDevice(const std::string& deviceName)
{
    if (deviceName.empty())
        return std::string();
    for (const vtoken::KeyRecord& key : store().pluggedKeys()) {
        if (key.deviceName == deviceName)
            return key.serial;
    }
    return std::string();
}

SKF_ULONG writeNameList(const std::vector<std::string>& givenNames, char* list, SKF_ULONG* size)
{
    if (!size)
        return SAR_INVALIDPARAMERR;
#ifdef SKF_STANDIN_TEST_LONG_LISTS
    // A library whose lists outgrow what callers usually reserve.
    std::vector<std::string> names = givenNames;
    names.push_back(std::string(1100, 'L'));
#else
    const std::vector<std::string>& names = givenNames;
#endif
    size_t needed = 1;
    for (const std::string& name : names)
        needed += name.size() + 1;
    if (!list) {
        *size = static_cast<SKF_ULONG>(needed);
        return SAR_OK;
    }
    if (*size < needed) {
        *size = static_cast<SKF_ULONG>(needed);
        return SAR_BUFFER_TOO_SMALL;
    }
    char* out = list;
    for (const std::string& name : names) {
        memcpy(out, name.c_str(), name.size() + 1);
        out += name.size() + 1;
    }
    *out = '\0';
    *size = static_cast<SKF_ULONG>(needed);
    return SAR_OK;
}

void copyText(char* out, size_t size, const std::string& text)
{
    if (size == 0)
        return;
    const size_t n = text.size() < size - 1 ? text.size() : size - 1;
    memcpy(out, text.data(), n);
    out[n] = '\0';
}

}  // namespace skfstub
