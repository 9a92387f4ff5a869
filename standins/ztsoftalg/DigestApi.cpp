#include "Export.h"
#include "certs/x509/Sm3.h"

ZTSOFTALG_EXPORT uint32_t ZTSM3Digest(const uint8_t* data, size_t length, uint8_t* digest)
{
    if ((!data && length > 0) || !digest)
        return ZTSOFTALG_ERR_INVALID_ARG;
    ZvitSm3Context ctx;
    zvitSm3Starts(&ctx);
    if (length > 0)
        zvitSm3Update(&ctx, data, length);
    zvitSm3Finish(&ctx, digest);
    return ZTSOFTALG_OK;
}
ZTSOFTALG_CHECK_SIGNATURE(ZTSM3Digest);
static_assert(kSm3DigestLen == ZTSOFTALG_SM3_DIGEST_LEN, "digest size");
