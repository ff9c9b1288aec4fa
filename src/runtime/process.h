#pragma once

#include <string>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <sys/types.h>
#endif

namespace zj {

#ifdef _WIN32

// A UTF-8 command line for CreateProcessW. Text that is not valid UTF-8 is read
// in the ANSI code page, as CreateProcessA would have read it.
std::wstring CommandLineToWide(std::string_view cmdLine);

#else

// Starts args[0] with args as its argument list; a name without a slash is
// looked up on PATH, and no shell is involved. The child gets the editor's
// environment, current folder and descriptors 0, 1 and 2, nothing else, with
// an empty signal mask and SIGPIPE at its default. Nobody needs to wait for
// it: a reaper collects it when it ends, so no zombie is left behind.
// Returns 0, or the errno value that says why it could not be started (a
// program that is missing or not executable fails here, not in the child).
int SpawnDetached(const std::vector<std::string>& args, pid_t* pid = nullptr);

#endif

} // namespace zj
