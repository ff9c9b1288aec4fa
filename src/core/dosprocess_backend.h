#pragma once

// The few platform operations the runner's steps are made of. The Win32
// backend works on HANDLEs and the process's standard handles, the POSIX one
// on descriptors and descriptors 0, 1 and 2.

#include <cstddef>
#include <string>

#ifndef _WIN32
#include <signal.h>
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

bool Start(const std::string& cmdLine, bool visible);

// Blocks until bytes arrive; false at the end of the output or on failure.
bool Read(Handle handle, char* buffer, std::size_t size, std::size_t& count);
// False when not every byte could be written.
bool WriteAll(Handle handle, const char* data, std::size_t size);

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
