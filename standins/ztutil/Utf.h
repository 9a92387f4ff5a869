#pragma once
// Strict UTF-8 <-> UTF-16: malformed input (overlong forms, surrogates in
// UTF-8, unpaired surrogates in UTF-16, code points past U+10FFFF) is refused.
#include <string>

bool ztUtf8ToUtf16(const std::string& text, std::u16string* out);
bool ztUtf16ToUtf8(const std::u16string& text, std::string* out);
