#pragma once

// The few platform operations the runner's steps are made of. The Win32
// backend works on HANDLEs and the process's standard handles, the POSIX one
// on descriptors and descriptors 0, 1 and 2.

#include <cstddef>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/types.h>
#endif

namespace zj::dosbackend {

#ifdef _WIN32
using Handle = void*;
inline Handle const NoHandle = nullptr;
#else
using Handle = int;
inline constexpr Handle NoHandle = -1;
#endif

enum class StdStream { Input, Output, Error };

// Keeps what the stream is now so that RestoreStd can put it back; NoHandle
// when the editor has none. False when it cannot be kept.
bool SaveStd(StdStream stream, Handle& saved);
bool RedirectStd(StdStream stream, Handle to);
bool RestoreStd(StdStream stream, Handle saved);
// Gives up what SaveStd kept, once nothing needs it any more.
void ReleaseSaved(Handle& saved);

// A pipe whose two ends the child inherits only through the standard streams
// (Win32: both inheritable, as the child takes them through the standard
// handles; POSIX: both close-on-exec).
bool CreatePipe(Handle& readEnd, Handle& writeEnd);
// A second handle to the same pipe end that no child inherits.
bool DuplicateForEditor(Handle source, Handle& duplicate);
// Closes handle (unless NoHandle) and sets it to NoHandle; false when the
// close failed.
bool Close(Handle& handle);

#ifdef _WIN32
// The command line as the child receives it.
using Command = std::string;
#else
// The program and its arguments, handed over as they are.
using Command = std::vector<std::string>;
#endif

Command CommandFromLine(const std::string& cmdLine);

// Starts command with the current standard streams; nothing ever waits for it.
bool Start(const Command& command, bool visible);

// Blocks until bytes arrive; false at the end of the output or on failure.
bool Read(Handle handle, char* buffer, std::size_t size, std::size_t& count);

// Where the echo goes: a handle to the saved standard output on which no
// write waits. Whatever cannot be taken at once ends the echo.
class Echo {
public:
    explicit Echo(Handle savedStdOut);
    ~Echo();
    Echo(const Echo&) = delete;
    Echo& operator=(const Echo&) = delete;

    // Writes all of data unless the echo has ended; false when it has, now
    // or before.
    bool Write(const char* data, std::size_t size);

private:
    bool WriteNoWait(const char* data, std::size_t size);

    Handle target_ = NoHandle;
    bool active_ = false;
#ifdef _WIN32
    bool restoreMode_ = false;
    unsigned long mode_ = 0;
#else
    bool owned_ = false;
    bool socket_ = false;
#endif
};

// Held while echoing: a saved standard output whose reader has gone must end
// the echo, not the editor (POSIX SIGPIPE).
class EchoGuard {
public:
    EchoGuard();
    ~EchoGuard();
    EchoGuard(const EchoGuard&) = delete;
    EchoGuard& operator=(const EchoGuard&) = delete;

#ifndef _WIN32
private:
    sigset_t oldMask_;
    bool wasPending_ = false;
#endif
};

} // namespace zj::dosbackend
