#pragma once
// Calling convention of the maker's soft algorithm library, shared by the
// binding and our stand-in of it.
#include <cstddef>
#include <cstdint>

#define ZTSOFTALG_OK 0x00000000u
#define ZTSOFTALG_ERR_INVALID_ARG 0x2B000001u
#define ZTSOFTALG_ERR_BUFFER_TOO_SMALL 0x2B000002u
#define ZTSOFTALG_ERR_BAD_DATA 0x2B000004u
#define ZTSOFTALG_ERR_NOT_SUPPORTED 0x2B0000FFu

#define ZTSOFTALG_SM3_DIGEST_LEN 32

extern "C" {
typedef uint32_t (*PFN_ZTCreateMessageDigest)(uint32_t algorithm, void** context);
typedef uint32_t (*PFN_ZTDestroyMessageDigest)(void* context);
typedef uint32_t (*PFN_ZTCreateCipher)(uint32_t algorithm, const uint8_t* key, size_t keyLength, void** context);
typedef uint32_t (*PFN_ZTDestroyCipher)(void* context);
// digest receives ZTSOFTALG_SM3_DIGEST_LEN bytes.
typedef uint32_t (*PFN_ZTSM3Digest)(const uint8_t* data, size_t length, uint8_t* digest);
typedef uint32_t (*PFN_ZTGenP10Context)(void** context);
typedef uint32_t (*PFN_ZTGenP10Csr)(void* context, uint8_t* csr, size_t* length);
typedef uint32_t (*PFN_ZTAddPadding)(uint32_t scheme, uint8_t* data, size_t* length, size_t capacity);
typedef uint32_t (*PFN_ZTStripPadding)(uint32_t scheme, uint8_t* data, size_t* length);
// *size: in = capacity of the output, out = bytes written (text without terminator).
typedef uint32_t (*PFN_ZTBase64Encode)(const uint8_t* data, size_t length, char* text, size_t* size);
typedef uint32_t (*PFN_ZTBase64Decode)(const char* text, size_t length, uint8_t* data, size_t* size);
typedef uint32_t (*PFN_ZTCreateP7)(const uint8_t* data, size_t length, uint8_t* p7, size_t* p7Length);
}
