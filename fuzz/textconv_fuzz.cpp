// Line-break conversion (to CR LF or LF) and the UTF-8 check of any text, in
// pieces of any size: the pieces must give what the whole gives, and the
// conversion what a plain byte-by-byte one gives.

#include "textconv.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

using namespace zj;

namespace {

std::string PlainConversion(const std::string& text, const std::string& lineBreak, bool& changes)
{
    std::string out;
    changes = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            std::string found(1, text[i]);
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                found += text[++i];
            changes |= found != lineBreak;
            out += lineBreak;
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
    const TLineBreak to = input.ConsumeBool() ? TLineBreak::Lf : TLineBreak::CrLf;
    const std::string text = input.ConsumeRemainingBytesAsString();
    bool changes = false;
    const std::string whole = PlainConversion(text, to == TLineBreak::Lf ? "\n" : "\r\n", changes);
    if (to == TLineBreak::CrLf && (ToCrLf(text) != whole || HoldsOnlyCrLf(text) != (whole == text)))
        std::abort();
    TLineBreakConverter converter(to);
    TLineBreakConverter measure(to);
    TUtf8Checker checker;
    std::string converted;
    std::size_t measured = 0;
    for (std::size_t at = 0; at < text.size(); at += pieceSize) {
        const std::string_view piece = std::string_view(text).substr(at, pieceSize);
        converter.Append(piece, converted);
        measured += measure.Measure(piece);
        checker.Add(piece);
    }
    if (converted != whole || measured != whole.size() || measure.Changes() != changes
        || checker.Valid() != IsValidUtf8(text))
        std::abort();
    return 0;
}
