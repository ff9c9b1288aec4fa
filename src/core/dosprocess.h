#pragma once

#include "exceptions.h"

#include <string>

namespace zj {

// The process runner's only error; its message is one of the fixed texts of
// the failing step.
class EDosProcessError : public Exception {
public:
    using Exception::Exception;
};

// Runs CmdLine with its standard output, standard error and standard input on
// pipes and appends everything it writes to Output, returning when that output
// ends, also while the child lives on. The program is the first word of
// CmdLine (Windows rules); no shell is involved. Visible chooses a normal
// rather than a minimised, inactive window where the platform has one.
// Raises EDosProcessError; the editor's standard descriptors are its own again
// afterwards in every case.
void RunDosProcess(const std::string& CmdLine, bool Visible, std::string& Output);

// The start step: true when the child process was created. The child takes
// the editor's current standard descriptors as its own.
bool StartDosProcess(const std::string& CmdLine, bool Visible);

// The read step: closes the editor's write end of the output pipe and appends
// the output to its end, echoing it to the saved standard output.
void ReadDosOutput(std::string& Output);

[[noreturn]] void RaiseDosError(const std::string& Msg);

} // namespace zj
