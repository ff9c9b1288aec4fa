#pragma once

// What the tests of the process runner and of jobs share: their child
// program, its output, a look at the test's own standard streams.

#include "ownfolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zj::test {

namespace fs = std::filesystem;

inline std::string Utf8(const fs::path& path)
{
    std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

// The child program is built next to this test program.
inline const std::string& Child()
{
    static const std::string path = Utf8(OwnFolder() / RUNNER_CHILD_NAME);
    return path;
}

// What the child's "bytes" mode writes.
inline std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

// Runs body with the test's standard output pointed at a temporary file, and
// returns what reached it: the echo.
template <class Body>
inline std::string CapturingStdOut(Body body)
{
    std::string echo;
    char buffer[65536];
#ifdef _WIN32
    wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, folder);
    GetTempFileNameW(folder, L"zje", 0, name);
    HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, file);
#else
    std::fflush(stdout);
    std::FILE* file = std::tmpfile();
    int saved = fcntl(1, F_DUPFD_CLOEXEC, 3);
    dup2(fileno(file), 1);
#endif
    body();
#ifdef _WIN32
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    for (DWORD n; ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0;)
        echo.append(buffer, n);
    CloseHandle(file);
#else
    dup2(saved, 1);
    close(saved);
    std::rewind(file);
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        echo.append(buffer, n);
    std::fclose(file);
#endif
    return echo;
}

inline void EndProcess(long pid)
{
#ifdef _WIN32
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid))) {
        TerminateProcess(process, 0);
        CloseHandle(process);
    }
#else
    kill(static_cast<pid_t>(pid), SIGKILL);
#endif
}

// What the three standard streams are, to compare before and after a run.
inline std::string StdState()
{
    std::ostringstream state;
#ifdef _WIN32
    for (DWORD code : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
        state << GetStdHandle(code) << ' ';
#else
    for (int fd = 0; fd < 3; ++fd) {
        struct stat st {};
        if (fstat(fd, &st) != 0)
            state << "closed ";
        else
            state << st.st_dev << ':' << st.st_ino << ':' << fcntl(fd, F_GETFD) << ' ';
    }
#endif
    return state.str();
}

// The handles (descriptors) the test holds open.
inline long OpenHandles()
{
    long count = 0;
#ifdef _WIN32
    // GetProcessHandleCount is a stub under Wine; the system's handle table
    // (SystemExtendedHandleInformation) is not.
    using Query = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
    static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<ULONG_PTR> table(1 << 16);
    ULONG length = 0;
    while (query(64, table.data(), static_cast<ULONG>(table.size() * sizeof(ULONG_PTR)), &length) != 0) {
        if (table.size() > (1u << 24))
            return -1;
        table.resize(table.size() * 2);
    }
    // A count and a reserved word, then entries of five words, the second
    // of which names the owning process.
    for (ULONG_PTR i = 0; i < table[0]; ++i)
        count += table[2 + i * 5 + 1] == GetCurrentProcessId();
#else
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
#endif
    return count;
}

#ifndef _WIN32

inline constexpr int ReportFd = 500;

// Runs body in a forked copy of the test, which may take away its own standard
// descriptors or lower its limits without harming the test; returns body's
// report, with a note when the copy died instead.
inline std::string InForkedProcess(const std::function<std::string()>& body)
{
    std::fflush(stdout);
    int report[2];
    if (pipe(report) != 0)
        return "no pipe";
    pid_t pid = fork();
    if (pid == 0) {
        int out = fcntl(report[1], F_DUPFD_CLOEXEC, ReportFd);
        close(report[0]);
        close(report[1]);
        std::string result = body();
        if (write(out, result.data(), result.size()) != static_cast<ssize_t>(result.size()))
            _exit(1);
        _exit(0);
    }
    close(report[1]);
    std::string result;
    char buffer[4096];
    for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(n));
    close(report[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status))
        result += " [killed by signal " + std::to_string(WTERMSIG(status)) + "]";
    return result;
}

#endif

} // namespace zj::test
