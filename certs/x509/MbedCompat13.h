#pragma once
// The library's 1.3 names (x509_crt, x509_dn_gets, ...). Debian's build turns
// on deprecation warnings, which would flag this header on every include; the
// names are what this code is written in.
#include <mbedtls/config.h>
#if defined(MBEDTLS_DEPRECATED_WARNING)
#undef MBEDTLS_DEPRECATED_WARNING
#include <mbedtls/compat-1.3.h>
#define MBEDTLS_DEPRECATED_WARNING
#else
#include <mbedtls/compat-1.3.h>
#endif
