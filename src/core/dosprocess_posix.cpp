#include "dosprocess_backend.h"

#include "cmdline.h"
#include "eintr.h"
#include "fdio.h"
#include "process.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zj::dosbackend {

namespace {

// Saved copies and pipe ends stay above the standard descriptors, so a dup2
// onto 0, 1 or 2 can never overwrite one of them.
constexpr int FirstFreeFd = 3;

int StdFd(StdStream stream)
{
    switch (stream) {
    case StdStream::Input:
        return STDIN_FILENO;
    case StdStream::Output:
        return STDOUT_FILENO;
    case StdStream::Error:
        break;
    }
    return STDERR_FILENO;
}

bool RaiseAboveStd(int& fd)
{
    if (fd >= FirstFreeFd)
        return true;
    int high = fcntl(fd, F_DUPFD_CLOEXEC, FirstFreeFd);
    close(fd);
    fd = high;
    return high >= 0;
}

} // namespace

bool SaveStd(StdStream stream, Handle& saved)
{
    saved = fcntl(StdFd(stream), F_DUPFD_CLOEXEC, FirstFreeFd);
    if (saved >= 0)
        return true;
    // A closed descriptor is kept as "none" and put back by closing it again.
    return errno == EBADF;
}

bool RedirectStd(StdStream stream, Handle to)
{
    return dup2(to, StdFd(stream)) >= 0;
}

bool RestoreStd(StdStream stream, Handle saved)
{
    if (saved == NoHandle)
        return close(StdFd(stream)) == 0 || errno == EBADF;
    return dup2(saved, StdFd(stream)) >= 0;
}

void ReleaseSaved(Handle& saved)
{
    Close(saved);
}

bool CreatePipe(Handle& readEnd, Handle& writeEnd)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    // With 0, 1 or 2 closed, pipe2 hands out exactly those numbers.
    if (!RaiseAboveStd(fds[0]) || !RaiseAboveStd(fds[1])) {
        Close(fds[0]);
        Close(fds[1]);
        return false;
    }
    readEnd = fds[0];
    writeEnd = fds[1];
    return true;
}

bool DuplicateForEditor(Handle source, Handle& duplicate)
{
    duplicate = fcntl(source, F_DUPFD_CLOEXEC, FirstFreeFd);
    return duplicate >= 0;
}

bool Close(Handle& handle)
{
    if (handle < 0)
        return false;
    // On Linux the descriptor is released even when close reports EINTR.
    bool closed = close(handle) == 0 || errno == EINTR;
    handle = NoHandle;
    return closed;
}

Command CommandFromLine(const std::string& cmdLine)
{
    return SplitCommandLine(cmdLine);
}

bool Start(const Command& command, bool)
{
    return SpawnDetached(command) == 0;
}

bool Read(Handle handle, char* buffer, std::size_t size, std::size_t& count)
{
    ssize_t n = RetryOnEintr([&] { return read(handle, buffer, size); });
    count = n > 0 ? static_cast<std::size_t>(n) : 0;
    return n > 0;
}

Echo::Echo(Handle savedStdOut)
{
    struct stat st {};
    if (savedStdOut < 0 || fstat(savedStdOut, &st) != 0)
        return;
    if (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)) {
        target_ = savedStdOut;
    } else if (S_ISSOCK(st.st_mode)) {
        target_ = savedStdOut;
        socket_ = true;
    } else if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) {
        // The non-blocking flag belongs to the open file, which the editor
        // may share with its parent (a terminal, a pipe): a file of our own
        // for the same pipe or device takes it without touching theirs. A
        // pipe nobody reads cannot be opened, which ends the echo at once.
        const std::string self = "/proc/self/fd/" + std::to_string(savedStdOut);
        target_ = open(self.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        owned_ = target_ >= 0;
    }
    active_ = target_ >= 0;
}

Echo::~Echo()
{
    if (owned_)
        close(target_);
}

bool Echo::WriteNoWait(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = RetryOnEintr([&] {
            return socket_ ? send(target_, data, size, MSG_DONTWAIT | MSG_NOSIGNAL) : write(target_, data, size);
        });
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

EchoGuard::EchoGuard()
{
    sigset_t pipeOnly;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &oldMask_);
    sigset_t pending;
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
}

EchoGuard::~EchoGuard()
{
    // Take back the SIGPIPE a write to a pipe without reader raised, so it is
    // not delivered once the mask is restored.
    if (!wasPending_) {
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) == 1) {
            sigset_t pipeOnly;
            sigemptyset(&pipeOnly);
            sigaddset(&pipeOnly, SIGPIPE);
            const timespec noWait{0, 0};
            sigtimedwait(&pipeOnly, nullptr, &noWait);
        }
    }
    pthread_sigmask(SIG_SETMASK, &oldMask_, nullptr);
}

} // namespace zj::dosbackend
