#include "TokenInfoConvert.h"

#include <cstring>

char* formatLabelName(char* label, int size)
{
    if (!label || size <= 0)
        return label;
    int i = size - 1;
    while (i >= 0 && label[i] == ' ') {
        label[i] = '\0';
        --i;
    }
    if (label[size - 1] == '\0') {
        int zeros = 0;
        for (int j = size - 1; j >= 0 && label[j] == '\0'; --j)
            ++zeros;
        zeros &= ~1;
        memset(label + size - zeros, ' ', static_cast<size_t>(zeros));
    }
    return label;
}

namespace {

// Text, version and time fields byte for byte; flags and counters by value
// (zero extension one way, the low 32 bits the other).
template <typename From, typename To>
DWORD copyTokenInfo(const From* in, To* out)
{
    if (!in || !out)
        return ZT_ERR_INVALID_ARG;
    using Counter = decltype(out->flags);
    memcpy(out->label, in->label, sizeof(in->label));
    memcpy(out->manufacturerID, in->manufacturerID, sizeof(in->manufacturerID));
    memcpy(out->model, in->model, sizeof(in->model));
    memcpy(out->serialNumber, in->serialNumber, sizeof(in->serialNumber));
    out->flags = static_cast<Counter>(in->flags);
    out->ulMaxSessionCount = static_cast<Counter>(in->ulMaxSessionCount);
    out->ulSessionCount = static_cast<Counter>(in->ulSessionCount);
    out->ulMaxRwSessionCount = static_cast<Counter>(in->ulMaxRwSessionCount);
    out->ulRwSessionCount = static_cast<Counter>(in->ulRwSessionCount);
    out->ulMaxPinLen = static_cast<Counter>(in->ulMaxPinLen);
    out->ulMinPinLen = static_cast<Counter>(in->ulMinPinLen);
    out->ulTotalPublicMemory = static_cast<Counter>(in->ulTotalPublicMemory);
    out->ulFreePublicMemory = static_cast<Counter>(in->ulFreePublicMemory);
    out->ulTotalPrivateMemory = static_cast<Counter>(in->ulTotalPrivateMemory);
    out->ulFreePrivateMemory = static_cast<Counter>(in->ulFreePrivateMemory);
    out->hardwareVersion = in->hardwareVersion;
    out->firmwareVersion = in->firmwareVersion;
    memcpy(out->utcTime, in->utcTime, sizeof(in->utcTime));
    return 0;
}

}  // namespace

DWORD tokenInfoConvert32to64(const TokenInfo32* in, TokenInfo64* out)
{
    return copyTokenInfo(in, out);
}

DWORD tokenInfoConvert64to32(const TokenInfo64* in, TokenInfo32* out)
{
    return copyTokenInfo(in, out);
}
