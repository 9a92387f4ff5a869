#pragma once
// Distinguished-name text in the library's format ("C=CN, O=Bank + OU=x",
// special characters escaped with "\", control bytes as "?"), with two
// differences: valid UTF-8 is kept as text instead of one "?" per byte, and a
// value or name that does not fit is cut (at a character boundary) instead of
// being refused. The text is always valid UTF-8.
#include <cstddef>

#include <mbedtls/x509.h>

// Longest value text, as the library allows.
constexpr size_t kDnValueMax = 255;

// Writes the text of dn into buf (size bytes, always NUL-terminated when
// size > 0) and returns its length.
size_t zvitDnGets(char* buf, size_t size, const mbedtls_x509_name* dn);
