#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zj {

// Where an argument's text landed in a formatted result.
struct TTextSpan {
    std::size_t Start;
    std::size_t Length;
};

// Formats with one string argument: "%%" gives "%", and a directive
// "%" [index ":"] ["-"] [width] ["." precision] type takes the argument,
// where index, width and precision are digits or "*"; width and precision are
// at most 4096.
// Only the type "s" (either case) fits the string; the argument's own "%"
// signs are never read. Raises EConvertError with "No argument for format
// '<format>'" when a directive would need a second argument, and "Format
// '<format>' invalid or incompatible with argument" when it is incomplete, its
// type does not fit or a width or precision is too large. spans, when given, receives where the argument went.
std::string Format(std::string_view format, std::string_view arg, std::vector<TTextSpan>* spans = nullptr);

} // namespace zj
