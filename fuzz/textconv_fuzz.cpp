// Line-break conversion and the UTF-8 check of any text, whole and in pieces
// of any size: the pieces must give what the whole gives, and the conversion
// what a plain byte-by-byte one gives.

#include "textconv.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

using namespace zj;

namespace {

std::string PlainCrLf(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::size_t pieceSize = input.ConsumeIntegralInRange<std::size_t>(1, 64);
    const std::string text = input.ConsumeRemainingBytesAsString();
    const std::string whole = ToCrLf(text);
    if (whole != PlainCrLf(text) || CrLfSize(text) != whole.size() || HoldsOnlyCrLf(text) != (whole == text))
        std::abort();
    TCrLfConverter converter;
    TCrLfConverter measure;
    TUtf8Checker checker;
    std::string converted;
    std::size_t measured = 0;
    for (std::size_t at = 0; at < text.size(); at += pieceSize) {
        const std::string_view piece = std::string_view(text).substr(at, pieceSize);
        converter.Append(piece, converted);
        measured += measure.Measure(piece);
        checker.Add(piece);
    }
    if (converted != whole || measured != whole.size() || checker.Valid() != IsValidUtf8(text))
        std::abort();
    return 0;
}
