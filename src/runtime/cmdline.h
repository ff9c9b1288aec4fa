#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zj {

// Splits a command line the way a Windows program sees it, so one command-line
// string means the same on every platform. The first element is the program:
// quotes group (they toggle, nothing escapes them) and the first unquoted blank
// or tab ends it. The arguments follow the C runtime's rules: blanks and tabs
// separate, double quotes group, 2n backslashes before a quote give n
// backslashes and a grouping quote, 2n+1 give n backslashes and a literal
// quote, "" inside quotes is a literal quote; other backslashes are literal.
// An empty or blank command line gives no elements.
std::vector<std::string> SplitCommandLine(std::string_view cmdLine);

// The program name as the first word of a command line: in double quotes when
// it holds a blank or a tab. A program name can hold no quote of its own.
std::string QuoteProgram(std::string_view program);

// One argument for a command line, read back unchanged by SplitCommandLine and
// by any Windows program: left alone unless it is empty or holds a blank, a
// tab or a double quote.
std::string QuoteArgument(std::string_view argument);

} // namespace zj
