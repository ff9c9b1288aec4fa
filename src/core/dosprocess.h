#pragma once

#include "exceptions.h"

#include <memory>
#include <string>
#include <vector>

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

// How a watched child's run ended.
struct TDosEnd {
    enum TKind { Exited, Signalled, Stopped };
    TKind Kind = Exited;
    // The exit code, or the signal's number.
    int Code = 0;
};

// A child run as RunDosProcess runs it, with the program and its arguments
// given apart (no command line is split off Windows), read a piece at a time
// so that its caller can keep its windows alive, and watched: the run learns
// how the child ended and can end it with everything it started.
class TDosRun {
public:
    // The start steps of RunDosProcess, which raise its errors. Off Windows
    // the child leads a process group of its own; on Windows it is in a job.
    TDosRun(const std::string& Program, const std::vector<std::string>& Args, bool Visible);
    // A child still running is not ended; it is collected when it ends.
    ~TDosRun();
    TDosRun(const TDosRun&) = delete;
    TDosRun& operator=(const TDosRun&) = delete;

    // Appends what the child has written to Output, echoing it, and waits at
    // most WaitMs for more or for the end; true once the run is over. The run
    // is over when the output has ended and the child has ended, or, when
    // something the child started keeps the output open, a second after the
    // child itself has ended.
    bool Poll(int WaitMs);
    // Ends the child and every process it started; the run is over.
    void Stop();
    bool Done() const;
    std::string& Output();
    // How the child ended, once the run is over.
    const TDosEnd& End() const;

    // How long the output may stay open after the child has ended.
    static constexpr int GraceMs = 1000;

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

} // namespace zj
