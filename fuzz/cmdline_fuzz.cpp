// The command-line splitter and quoter: a program and its arguments, quoted
// into one line, split back into the same words. Any line splits without
// fault.

#include "cmdline.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

using namespace zj;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    SplitCommandLine(std::string_view(reinterpret_cast<const char*>(data), size));

    // A program name can hold no quote of its own.
    std::string program = input.ConsumeRandomLengthString();
    std::erase(program, '"');
    std::vector<std::string> words{program};
    std::string line = QuoteProgram(program);
    while (input.remaining_bytes() > 0) {
        words.push_back(input.ConsumeRandomLengthString());
        line += ' ' + QuoteArgument(words.back());
    }
    if (SplitCommandLine(line) != words)
        std::abort();
    return 0;
}
