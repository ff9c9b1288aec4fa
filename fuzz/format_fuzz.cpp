// Format with any format and argument: it either raises the convert error or
// gives a result of bounded size in which each span holds the argument (cut
// by a precision).

#include "exceptions.h"
#include "format.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

using namespace zj;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string arg = input.ConsumeRandomLengthString();
    const std::string format = input.ConsumeRemainingBytesAsString();
    std::vector<TTextSpan> spans;
    std::string result;
    try {
        result = Format(format, arg, &spans);
    } catch (const EConvertError&) {
        return 0;
    }
    // Each directive takes at least two bytes of the format and gives at
    // most the widest field or the argument.
    const std::size_t field = std::max<std::size_t>(4096, arg.size());
    if (result.size() > format.size() + format.size() / 2 * field)
        std::abort();
    for (const TTextSpan& span : spans)
        if (span.Start + span.Length > result.size() || result.compare(span.Start, span.Length, arg, 0, span.Length) != 0)
            std::abort();
    return 0;
}
