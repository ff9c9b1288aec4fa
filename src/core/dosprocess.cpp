#include "dosprocess.h"

#include "dosprocess_backend.h"


namespace zj {

using namespace dosbackend;

namespace {

// The runner keeps its handles at unit level and each run overwrites them.
// It is not re-entrant: its caller is blocked for the whole run.
Handle SavedStdOut = NoHandle;
Handle SavedStdErr = NoHandle;
Handle SavedStdIn = NoHandle;
Handle OutReadPipe = NoHandle;
Handle OutWritePipe = NoHandle;
Handle InReadPipe = NoHandle;
Handle InWritePipe = NoHandle;
Handle InWriteDup = NoHandle;

bool StdOutRedirected = false;
bool StdErrRedirected = false;
bool StdInRedirected = false;

constexpr std::size_t ChunkSize = 4096;

// In reverse order of redirecting; a failing put-back cannot be helped here,
// the error being raised already says the run failed.
void RestoreRedirected()
{
    if (StdInRedirected) {
        StdInRedirected = false;
        RestoreStd(StdStream::Input, SavedStdIn);
    }
    if (StdErrRedirected) {
        StdErrRedirected = false;
        RestoreStd(StdStream::Error, SavedStdErr);
    }
    if (StdOutRedirected) {
        StdOutRedirected = false;
        RestoreStd(StdStream::Output, SavedStdOut);
    }
}

// Nothing uses the pipes once the run has returned or raised, and each run
// makes new ones, so none may outlive it.
void ReleaseAll()
{
    Close(OutReadPipe);
    Close(OutWritePipe);
    Close(InReadPipe);
    Close(InWritePipe);
    Close(InWriteDup);
    ReleaseSaved(SavedStdIn);
    ReleaseSaved(SavedStdErr);
    ReleaseSaved(SavedStdOut);
}

// The standard streams are the editor's own again before the error leaves;
// RunCleanup then releases what the run had made.
[[noreturn]] void Fail(const std::string& msg)
{
    RestoreRedirected();
    RaiseDosError(msg);
}

struct RunCleanup {
    RunCleanup() = default;
    RunCleanup(const RunCleanup&) = delete;
    RunCleanup& operator=(const RunCleanup&) = delete;
    ~RunCleanup()
    {
        RestoreRedirected();
        ReleaseAll();
    }
};

} // namespace

void RaiseDosError(const std::string& Msg)
{
    throw EDosProcessError(Msg);
}

namespace {

// Steps 1 to 11 of a run: the pipes, the redirection, the start and the
// putting back. Leaves OutReadPipe, OutWritePipe and SavedStdOut open.
void StartRedirected(const Command& command, bool visible)
{
    // A stream whose current state cannot be kept is not redirected: the
    // redirecting step fails instead.
    const bool stdOutKept = SaveStd(StdStream::Output, SavedStdOut);
    if (!CreatePipe(OutReadPipe, OutWritePipe))
        Fail("Stdout pipe creation failed");
    if (!stdOutKept || !RedirectStd(StdStream::Output, OutWritePipe))
        Fail("Redirecting STDOUT failed");
    StdOutRedirected = true;

    // Compilers report errors on standard error too; those must count as output.
    const bool stdErrKept = SaveStd(StdStream::Error, SavedStdErr);
    if (!stdErrKept || !RedirectStd(StdStream::Error, OutWritePipe))
        Fail("Redirecting STDERR failed");
    StdErrRedirected = true;

    const bool stdInKept = SaveStd(StdStream::Input, SavedStdIn);
    if (!CreatePipe(InReadPipe, InWritePipe))
        Fail("Stdin pipe creation failed");
    if (!stdInKept || !RedirectStd(StdStream::Input, InReadPipe))
        Fail("Redirecting Stdin failed");
    StdInRedirected = true;

    if (!DuplicateForEditor(InWritePipe, InWriteDup))
        Fail("DuplicateHandle failed");
    Close(InWritePipe);

    if (!Start(command, visible))
        Fail("Create process failed");

    StdInRedirected = false;
    if (!RestoreStd(StdStream::Input, SavedStdIn))
        Fail("Re-redirecting Stdin failed");
    StdErrRedirected = false;
    if (!RestoreStd(StdStream::Error, SavedStdErr))
        Fail("Re-redirecting Stderr failed");
    StdOutRedirected = false;
    if (!RestoreStd(StdStream::Output, SavedStdOut))
        Fail("Re-redirecting Stdout failed");

    // Nothing is ever written to the child's input: without our write end it
    // sees the input's end at once instead of waiting, and the run with it.
    Close(InWriteDup);
    Close(InReadPipe);
}

} // namespace

void RunDosProcess(const std::string& CmdLine, bool Visible, std::string& Output)
{
    RunCleanup cleanup;
    StartRedirected(CommandFromLine(CmdLine), Visible);
    ReadDosOutput(Output);
}

bool StartDosProcess(const std::string& CmdLine, bool Visible)
{
    return Start(CommandFromLine(CmdLine), Visible);
}

void ReadDosOutput(std::string& Output)
{
    if (!Close(OutWritePipe))
        RaiseDosError("Closing handle failed");

    EchoGuard guard;
    Echo echo(SavedStdOut);
    char buffer[ChunkSize];
    std::size_t count = 0;
    while (Read(OutReadPipe, buffer, sizeof buffer, count)) {
        Output.append(buffer, count);
        // The caller judges the run by the whole output, so an echo that
        // fails or would wait only ends the echo.
        echo.Write(buffer, count);
    }
}

bool dosbackend::Echo::Write(const char* data, std::size_t size)
{
    if (active_ && !WriteNoWait(data, size))
        active_ = false;
    return active_;
}

} // namespace zj
