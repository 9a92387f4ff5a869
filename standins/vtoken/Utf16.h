#pragma once
// Labels cross the token library's interface as UTF-16LE.
#include <cstdint>
#include <string>

namespace vtoken {

// Well-formed UTF-8 to UTF-16 code units (false for malformed input).
bool utf8ToUtf16(const std::string& text, std::u16string* out);
// UTF-16 to UTF-8; false for unpaired surrogates.
bool utf16ToUtf8(const std::u16string& text, std::string* out);

}  // namespace vtoken
