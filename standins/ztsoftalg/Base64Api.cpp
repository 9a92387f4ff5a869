#include <mbedtls/base64.h>

#include "Export.h"

// *size: in = capacity, out = bytes written (encoded text without its
// terminator). Too small: nothing is cut, *size is the capacity needed.
ZTSOFTALG_EXPORT uint32_t ZTBase64Encode(const uint8_t* data, size_t length, char* text, size_t* size)
{
    if ((!data && length > 0) || !text || !size)
        return ZTSOFTALG_ERR_INVALID_ARG;
    if (length == 0) {
        // The encoder leaves the buffer untouched for empty input; callers expect a text.
        if (*size == 0) {
            *size = 1;
            return ZTSOFTALG_ERR_BUFFER_TOO_SMALL;
        }
        text[0] = '\0';
        *size = 0;
        return ZTSOFTALG_OK;
    }
    size_t written = 0;
    int rc = mbedtls_base64_encode(reinterpret_cast<unsigned char*>(text), *size, &written, data, length);
    if (rc == MBEDTLS_ERR_BASE64_BUFFER_TOO_SMALL) {
        if (*size > 0)
            text[0] = '\0';
        *size = written;  // with the terminator
        return ZTSOFTALG_ERR_BUFFER_TOO_SMALL;
    }
    if (rc != 0)
        return ZTSOFTALG_ERR_INVALID_ARG;
    *size = written;
    return ZTSOFTALG_OK;
}
ZTSOFTALG_CHECK_SIGNATURE(ZTBase64Encode);

ZTSOFTALG_EXPORT uint32_t ZTBase64Decode(const char* text, size_t length, uint8_t* data, size_t* size)
{
    if ((!text && length > 0) || !size || (!data && *size > 0))
        return ZTSOFTALG_ERR_INVALID_ARG;
    // Whole quanta only: a cut-off text would otherwise decode to fewer bytes without complaint.
    size_t symbols = 0;
    for (size_t i = 0; i < length; ++i)
        if (text[i] != ' ' && text[i] != '\r' && text[i] != '\n')
            ++symbols;
    if (symbols % 4 != 0)
        return ZTSOFTALG_ERR_BAD_DATA;
    size_t written = 0;
    int rc = mbedtls_base64_decode(data, *size, &written, reinterpret_cast<const unsigned char*>(text), length);
    if (rc == MBEDTLS_ERR_BASE64_BUFFER_TOO_SMALL) {
        *size = written;
        return ZTSOFTALG_ERR_BUFFER_TOO_SMALL;
    }
    if (rc != 0)
        return ZTSOFTALG_ERR_BAD_DATA;
    *size = written;
    return ZTSOFTALG_OK;
}
ZTSOFTALG_CHECK_SIGNATURE(ZTBase64Decode);
