#pragma once
// Binding of the maker's soft algorithm library (pointers named fn_ and the function).
#include "common/ZTCommonDef.h"
#include "ZTSoftAlg_api.h"

#define ZTSOFTALG_FUNCTIONS(X)  \
    X(ZTCreateMessageDigest)    \
    X(ZTDestroyMessageDigest)   \
    X(ZTCreateCipher)           \
    X(ZTDestroyCipher)          \
    X(ZTSM3Digest)              \
    X(ZTGenP10Context)          \
    X(ZTGenP10Csr)              \
    X(ZTAddPadding)             \
    X(ZTStripPadding)           \
    X(ZTBase64Encode)           \
    X(ZTBase64Decode)           \
    X(ZTCreateP7)

#define ZTSOFTALG_DECLARE_POINTER(name) extern PFN_##name fn_##name;
ZTSOFTALG_FUNCTIONS(ZTSOFTALG_DECLARE_POINTER)
#undef ZTSOFTALG_DECLARE_POINTER

extern HMODULE g_hSoftAlg;

BOOL16 LoadZTSoftAlgLib();
void FreeZTSoftAlgLib();
