#pragma once

#include <string>
#include <string_view>

namespace zj {

// Starts the command line made by formatting command (see Format) with
// fileName as its one argument, for a program that runs on by itself: the
// editor keeps no link to it. Raises EConvertError, with nothing started, when
// the command cannot be formatted; false when the program could not be started.
// Windows: CreateProcess, then a wait until the program is ready for input.
// Elsewhere: the command line is split with the Windows rules and the file name
// put into its argument afterwards, so that its quotes, blanks and backslashes
// never regroup the arguments; spawned without a shell and not waited for.
bool StartBrowserProcess(std::string_view command, const std::string& fileName);

} // namespace zj
