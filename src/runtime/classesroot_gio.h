#pragma once

#ifndef _WIN32

#include "registry.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zj {

// HKEY_CLASSES_ROOT as the desktop's default application for text/html shows
// it: ".html" names the class (the application's desktop id) and the class's
// "shell\open\command" holds its open command. The desktop is asked afresh
// every time; without a default application ".html" does not exist.
std::shared_ptr<TClassesRootSource> DesktopClassesRoot();

// The open command for a desktop entry's Exec line: the program as an
// absolute path where PATH finds it (as written otherwise), the first file
// field code (%f, %F, %u, %U) as "%1" in quotes, or "%1" added at the end
// when there is none, as the desktop itself adds the file. Other field codes
// are dropped, "%%" is a percent sign. The result is made to be formatted:
// blanks and quotes of an argument are quoted with the Windows rules and a
// literal percent sign is doubled. Nullopt when the line cannot be read.
std::optional<std::string> OpenCommandFromExec(std::string_view exec);

} // namespace zj

#endif
