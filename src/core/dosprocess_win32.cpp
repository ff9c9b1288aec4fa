#include "dosprocess_backend.h"

#include "cmdline.h"
#include "process.h"

#include <windows.h>

namespace zj::dosbackend {

namespace {

DWORD StdCode(StdStream stream)
{
    switch (stream) {
    case StdStream::Input:
        return STD_INPUT_HANDLE;
    case StdStream::Output:
        return STD_OUTPUT_HANDLE;
    case StdStream::Error:
        break;
    }
    return STD_ERROR_HANDLE;
}

} // namespace

bool SaveStd(StdStream stream, Handle& saved)
{
    // The handle itself, not a copy: putting it back needs nothing else.
    saved = GetStdHandle(StdCode(stream));
    return true;
}

bool RedirectStd(StdStream stream, Handle to)
{
    return SetStdHandle(StdCode(stream), to) != 0;
}

bool RestoreStd(StdStream stream, Handle saved)
{
    return SetStdHandle(StdCode(stream), saved) != 0;
}

void ReleaseSaved(Handle& saved)
{
    saved = NoHandle;
}

bool CreatePipe(Handle& readEnd, Handle& writeEnd)
{
    // The child takes the pipe ends through the standard handles, which it can
    // only do with inheritable handles.
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = TRUE;
    HANDLE r = nullptr;
    HANDLE w = nullptr;
    if (!::CreatePipe(&r, &w, &attributes, 0))
        return false;
    readEnd = r;
    writeEnd = w;
    return true;
}

bool DuplicateForEditor(Handle source, Handle& duplicate)
{
    HANDLE process = GetCurrentProcess();
    HANDLE copy = nullptr;
    if (!DuplicateHandle(process, source, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return false;
    duplicate = copy;
    return true;
}

bool Close(Handle& handle)
{
    if (handle == NoHandle)
        return false;
    bool closed = CloseHandle(handle) != 0;
    handle = NoHandle;
    return closed;
}

Command CommandFromLine(const std::string& cmdLine)
{
    return cmdLine;
}

bool Start(const Command& command, bool visible)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // No STARTF_USESTDHANDLES: the child takes the standard handles we have
    // just installed.
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
    startup.wShowWindow = visible ? SW_SHOWNORMAL : SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION info{};
    // The wide call: command lines are UTF-8 here, and a file name outside the
    // ANSI code page would not survive CreateProcessA.
    std::wstring line = CommandLineToWide(command);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
        return false;
    // Nothing ever waits for the child.
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return true;
}

bool Read(Handle handle, char* buffer, std::size_t size, std::size_t& count)
{
    DWORD n = 0;
    BOOL ok = ReadFile(handle, buffer, static_cast<DWORD>(size), &n, nullptr);
    count = n;
    return ok && n > 0;
}

Echo::Echo(Handle savedStdOut)
{
    if (savedStdOut == NoHandle || savedStdOut == INVALID_HANDLE_VALUE)
        return;
    const DWORD type = GetFileType(savedStdOut);
    if (type == FILE_TYPE_PIPE) {
        // A pipe that nobody reads must not hold the editor: writes to it
        // take what fits and return. Put back as it was afterwards.
        DWORD mode = 0;
        if (!GetNamedPipeHandleState(savedStdOut, &mode, nullptr, nullptr, nullptr, nullptr, 0))
            return;
        DWORD noWait = (mode & PIPE_READMODE_MESSAGE) | PIPE_NOWAIT;
        if (!SetNamedPipeHandleState(savedStdOut, &noWait, nullptr, nullptr))
            return;
        mode_ = mode;
        restoreMode_ = true;
    } else if (type != FILE_TYPE_DISK && type != FILE_TYPE_CHAR) {
        return;
    }
    target_ = savedStdOut;
    active_ = true;
}

Echo::~Echo()
{
    if (restoreMode_) {
        DWORD mode = mode_ & (PIPE_READMODE_MESSAGE | PIPE_NOWAIT);
        SetNamedPipeHandleState(target_, &mode, nullptr, nullptr);
    }
}

bool Echo::WriteNoWait(const char* data, std::size_t size)
{
    while (size > 0) {
        DWORD n = 0;
        if (!WriteFile(target_, data, static_cast<DWORD>(size), &n, nullptr) || n == 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

EchoGuard::EchoGuard() = default;
EchoGuard::~EchoGuard() = default;

} // namespace zj::dosbackend
