#include "Export.h"
#include "Sm3.h"

ZTSOFTALG_EXPORT uint32_t ZTSM3Digest(const uint8_t* data, size_t length, uint8_t* digest)
{
    if ((!data && length > 0) || !digest)
        return ZTSOFTALG_ERR_INVALID_ARG;
    Sm3 sm3;
    if (length > 0)
        sm3.update(data, length);
    sm3.finish(digest);
    return ZTSOFTALG_OK;
}
ZTSOFTALG_CHECK_SIGNATURE(ZTSM3Digest);
static_assert(Sm3::kDigestSize == ZTSOFTALG_SM3_DIGEST_LEN, "digest size");
