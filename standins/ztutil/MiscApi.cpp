// GUIDs, PIN strength, tracing, and what this product has no use for.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <sys/random.h>

#include "Export.h"
#include "OutputBuffer.h"
#include "common/pindegree/PinDegree.h"

ZTUTIL_EXPORT uint32_t ZTUtil_CreateGUIDA(char* guid, size_t* size)
{
    if (!guid || !size)
        return ZTUTIL_ERR_INVALID_ARG;
    uint8_t bytes[16];
    size_t got = 0;
    while (got < sizeof(bytes)) {
        ssize_t n = getrandom(bytes + got, sizeof(bytes) - got, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ZTUTIL_ERR_IO;
        }
        got += static_cast<size_t>(n);
    }
    bytes[6] = (bytes[6] & 0x0F) | 0x40;  // random (version 4)
    bytes[8] = (bytes[8] & 0x3F) | 0x80;  // RFC 4122 variant
    char text[40];
    snprintf(text, sizeof(text), "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", bytes[0],
             bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
             bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return ztCopyText(text, guid, size);
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_CreateGUIDA);

ZTUTIL_EXPORT uint32_t ZTUtil_GetPINDegreeA(const char* pin, uint32_t* degree)
{
    if (!degree)
        return ZTUTIL_ERR_INVALID_ARG;
    *degree = ztPinDegree(pin);
    return ZTUTIL_OK;
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_GetPINDegreeA);

ZTUTIL_EXPORT uint32_t ZTUtil_DebugTraceA(const char* format, ...)
{
    if (!format)
        return ZTUTIL_ERR_INVALID_ARG;
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    return ZTUTIL_OK;
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_DebugTraceA);

ZTUTIL_EXPORT uint32_t ZTUtil_GetDisplayTextA(const char*, char*, size_t*)
{
    return ZTUTIL_ERR_NOT_SUPPORTED;
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_GetDisplayTextA);

ZTUTIL_EXPORT uint32_t ZTUtil_GetCertPubKey(const uint8_t*, size_t, uint8_t*, size_t*)
{
    return ZTUTIL_ERR_NOT_SUPPORTED;
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_GetCertPubKey);
