// Functions this product never calls: they refuse instead of pretending.
#include "Export.h"

namespace {

uint32_t refuse(void** context)
{
    if (context)
        *context = nullptr;
    return ZTSOFTALG_ERR_NOT_SUPPORTED;
}

}  // namespace

ZTSOFTALG_EXPORT uint32_t ZTCreateMessageDigest(uint32_t, void** context)
{
    return refuse(context);
}
ZTSOFTALG_CHECK_SIGNATURE(ZTCreateMessageDigest);

ZTSOFTALG_EXPORT uint32_t ZTDestroyMessageDigest(void*)
{
    return ZTSOFTALG_ERR_NOT_SUPPORTED;
}
ZTSOFTALG_CHECK_SIGNATURE(ZTDestroyMessageDigest);

ZTSOFTALG_EXPORT uint32_t ZTCreateCipher(uint32_t, const uint8_t*, size_t, void** context)
{
    return refuse(context);
}
ZTSOFTALG_CHECK_SIGNATURE(ZTCreateCipher);

ZTSOFTALG_EXPORT uint32_t ZTDestroyCipher(void*)
{
    return ZTSOFTALG_ERR_NOT_SUPPORTED;
}
ZTSOFTALG_CHECK_SIGNATURE(ZTDestroyCipher);

#ifndef ZTSOFTALG_TEST_OMIT_P10_CONTEXT
ZTSOFTALG_EXPORT uint32_t ZTGenP10Context(void** context)
{
    return refuse(context);
}
ZTSOFTALG_CHECK_SIGNATURE(ZTGenP10Context);
#endif

ZTSOFTALG_EXPORT uint32_t ZTGenP10Csr(void*, uint8_t*, size_t*)
{
    return ZTSOFTALG_ERR_NOT_SUPPORTED;
}
ZTSOFTALG_CHECK_SIGNATURE(ZTGenP10Csr);

ZTSOFTALG_EXPORT uint32_t ZTAddPadding(uint32_t, uint8_t*, size_t*, size_t)
{
    return ZTSOFTALG_ERR_NOT_SUPPORTED;
}
ZTSOFTALG_CHECK_SIGNATURE(ZTAddPadding);

ZTSOFTALG_EXPORT uint32_t ZTStripPadding(uint32_t, uint8_t*, size_t*)
{
    return ZTSOFTALG_ERR_NOT_SUPPORTED;
}
ZTSOFTALG_CHECK_SIGNATURE(ZTStripPadding);

ZTSOFTALG_EXPORT uint32_t ZTCreateP7(const uint8_t*, size_t, uint8_t*, size_t*)
{
    return ZTSOFTALG_ERR_NOT_SUPPORTED;
}
ZTSOFTALG_CHECK_SIGNATURE(ZTCreateP7);
