#pragma once
// UTF-8 <-> UTF-16 for labels, names and texts that cross the maker's
// interfaces. Overlong forms, surrogates in UTF-8, unpaired surrogates in
// UTF-16 and code points past U+10FFFF are malformed.
#include <string>

namespace zvitutf {

enum class Malformed {
    Refuse,   // the conversion fails and out is left as it was
    Replace,  // each malformed unit becomes U+FFFD, as for display
};

bool utf8ToUtf16(const std::string& text, std::u16string* out, Malformed malformed = Malformed::Refuse);
bool utf16ToUtf8(const std::u16string& text, std::string* out, Malformed malformed = Malformed::Refuse);

}  // namespace zvitutf
