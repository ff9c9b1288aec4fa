#include "launch.h"

#include "cmdline.h"
#include "format.h"
#include "process.h"

namespace zj {

bool StartBrowserProcess(std::string_view command, const std::string& fileName)
{
    std::vector<TTextSpan> spans;
    std::string commandLine = Format(command, fileName, &spans);
    // A NUL stands in for each copy of the file name while the line is split:
    // the command comes from a registry string, which ends at its first NUL.
    for (auto span = spans.rbegin(); span != spans.rend(); ++span)
        commandLine.replace(span->Start, span->Length, 1, '\0');
    std::vector<std::string> args = SplitCommandLine(commandLine);
    auto span = spans.begin();
    for (std::string& arg : args) {
        for (std::size_t at = arg.find('\0'); at != std::string::npos && span != spans.end();
             at = arg.find('\0', at)) {
            const std::string part = fileName.substr(0, span->Length);
            arg.replace(at, 1, part);
            at += part.size();
            ++span;
        }
    }
    return SpawnDetached(args) == 0;
}

} // namespace zj
