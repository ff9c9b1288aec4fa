#pragma once

#include <string>
#include <string_view>

namespace zj {

// Every line break (CR LF, a lone CR, a lone LF) becomes CR LF; every other
// byte, NUL included, stays as it is.
std::string ToCrLf(std::string_view text);

// True when text is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

} // namespace zj
