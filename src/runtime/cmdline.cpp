#include "cmdline.h"

namespace zj {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

std::vector<std::string> SplitCommandLine(std::string_view cmdLine)
{
    std::vector<std::string> words;
    std::size_t p = 0;
    const std::size_t end = cmdLine.size();
    while (p < end && IsBlank(cmdLine[p]))
        ++p;
    if (p == end)
        return words;

    std::string program;
    bool inQuotes = false;
    for (; p < end && (inQuotes || !IsBlank(cmdLine[p])); ++p) {
        if (cmdLine[p] == '"')
            inQuotes = !inQuotes;
        else
            program += cmdLine[p];
    }
    words.push_back(std::move(program));

    for (;;) {
        while (p < end && IsBlank(cmdLine[p]))
            ++p;
        if (p == end)
            break;
        std::string word;
        inQuotes = false;
        while (p < end) {
            std::size_t backslashes = 0;
            while (p < end && cmdLine[p] == '\\') {
                ++backslashes;
                ++p;
            }
            if (p < end && cmdLine[p] == '"') {
                word.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    word += '"';
                } else if (inQuotes && p + 1 < end && cmdLine[p + 1] == '"') {
                    word += '"';
                    ++p;
                } else {
                    inQuotes = !inQuotes;
                }
                ++p;
                continue;
            }
            word.append(backslashes, '\\');
            if (p == end || (!inQuotes && IsBlank(cmdLine[p])))
                break;
            word += cmdLine[p++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::string QuoteProgram(std::string_view program)
{
    if (program.find_first_of(" \t") == std::string_view::npos && !program.empty())
        return std::string(program);
    return "\"" + std::string(program) + "\"";
}

std::string QuoteArgument(std::string_view argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos)
        return std::string(argument);
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are only special in front of a quote, the closing one included.
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

} // namespace zj
