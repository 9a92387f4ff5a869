#include "OutputBuffer.h"

#include <cstring>

#include "bindings/ZTUtil_api.h"

uint32_t ztCopyText(const std::string& text, char* out, size_t* size)
{
    if (!out || !size)
        return ZTUTIL_ERR_INVALID_ARG;
    size_t capacity = *size;
    if (text.size() >= capacity) {
        if (capacity > 0)
            out[0] = '\0';
        *size = text.size() + 1;
        return ZTUTIL_ERR_BUFFER_TOO_SMALL;
    }
    memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    *size = text.size();
    return ZTUTIL_OK;
}

uint32_t ztCopyUnits(const std::u16string& text, uint16_t* out, size_t* length)
{
    if (!out || !length)
        return ZTUTIL_ERR_INVALID_ARG;
    size_t capacity = *length;
    if (text.size() >= capacity) {
        if (capacity > 0)
            out[0] = 0;
        *length = text.size() + 1;
        return ZTUTIL_ERR_BUFFER_TOO_SMALL;
    }
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<uint16_t>(text[i]);
    out[text.size()] = 0;
    *length = text.size();
    return ZTUTIL_OK;
}
