// A child program for the process runner's tests and benchmark. The first
// argument picks what it does; it writes with raw system calls so that no
// runtime buffering or text-mode translation changes the bytes.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace {

enum Stream { In, Out, Err };

#ifdef _WIN32
HANDLE StdHandle(Stream s)
{
    return GetStdHandle(s == In ? STD_INPUT_HANDLE : s == Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}
#endif

bool Put(Stream s, const char* data, std::size_t size)
{
    while (size > 0) {
#ifdef _WIN32
        DWORD n = 0;
        if (!WriteFile(StdHandle(s), data, static_cast<DWORD>(size), &n, nullptr) || n == 0)
            return false;
#else
        ssize_t n = write(s == Out ? 1 : 2, data, size);
        if (n <= 0)
            return false;
#endif
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool Put(Stream s, std::string_view text)
{
    return Put(s, text.data(), text.size());
}

long Get(char* buffer, std::size_t size)
{
#ifdef _WIN32
    DWORD n = 0;
    if (!ReadFile(StdHandle(In), buffer, static_cast<DWORD>(size), &n, nullptr))
        return 0;
    return static_cast<long>(n);
#else
    return static_cast<long>(read(0, buffer, size));
#endif
}

void CloseOutputs()
{
#ifdef _WIN32
    CloseHandle(StdHandle(Out));
    CloseHandle(StdHandle(Err));
#else
    close(1);
    close(2);
#endif
}

long ProcessId()
{
#ifdef _WIN32
    return static_cast<long>(GetCurrentProcessId());
#else
    return static_cast<long>(getpid());
#endif
}

// Starts this program again with the given mode and argument; the new
// process inherits the standard streams. Returns its process id, or 0.
long StartAgain(const std::string& mode, const std::string& arg)
{
#ifdef _WIN32
    wchar_t self[MAX_PATH + 1];
    GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    std::wstring line = L"\"" + std::wstring(self) + L"\" " + std::wstring(mode.begin(), mode.end()) + L" "
                        + std::wstring(arg.begin(), arg.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
        return 0;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return static_cast<long>(info.dwProcessId);
#else
    pid_t pid = fork();
    if (pid == 0) {
        execl("/proc/self/exe", "runner_child", mode.c_str(), arg.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid > 0 ? static_cast<long>(pid) : 0;
#endif
}

// Byte i of the "bytes" output: period 251, so chunks of 4096 can't line up
// with it, and a NUL every 251 bytes.
constexpr int Period = 251;

int WriteBytes(unsigned long long total)
{
    constexpr std::size_t Block = 65536;
    std::vector<char> pattern(Block + Period);
    for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<char>(i % Period);
    unsigned long long written = 0;
    while (written < total) {
        std::size_t n = static_cast<std::size_t>(std::min<unsigned long long>(Block, total - written));
        if (!Put(Out, pattern.data() + written % Period, n))
            return 1;
        written += n;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string_view mode = argc > 1 ? argv[1] : "silent";
    if (mode == "silent")
        return 0;
    if (mode == "bytes" && argc > 2)
        return WriteBytes(std::strtoull(argv[2], nullptr, 10));
    if (mode == "stderr" && argc > 2)
        return Put(Err, argv[2]) ? 0 : 1;
    if (mode == "mixed") {
        Put(Out, "out 1\n");
        Put(Err, "err 1\n");
        Put(Out, "out 2\n");
        return 0;
    }
    if (mode == "stdin") {
        // A run that never closes our input must not hang the tests forever.
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::seconds(20));
            Put(Out, "input never ended\n");
            std::_Exit(3);
        }).detach();
        char buffer[4096];
        long total = 0;
        for (long n; (n = Get(buffer, sizeof buffer)) > 0;)
            total += n;
        Put(Out, "read " + std::to_string(total) + " bytes\n");
        std::_Exit(0);
    }
    if (mode == "linger") {
        Put(Out, std::to_string(ProcessId()) + "\n");
        CloseOutputs();
        std::this_thread::sleep_for(std::chrono::seconds(60));
        return 0;
    }
    if (mode == "sleep" && argc > 2) {
        std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[2])));
        return 0;
    }
    // Never ends by itself, and neither does the process it starts.
    if (mode == "hang") {
        const long grandchild = StartAgain("sleep", "600");
        Put(Out, std::to_string(ProcessId()) + " " + std::to_string(grandchild) + "\n");
        std::this_thread::sleep_for(std::chrono::seconds(600));
        return 0;
    }
    // Ends at once, leaving behind a process that holds the output open.
    if (mode == "daemon") {
        const long grandchild = StartAgain("sleep", "60");
        Put(Out, std::to_string(grandchild) + "\n");
        return 4;
    }
    if (mode == "exit" && argc > 2) {
        if (argc > 3)
            Put(Out, std::string(argv[3]) + "\n");
        return std::atoi(argv[2]);
    }
#ifndef _WIN32
    if (mode == "signal") {
        Put(Out, "ending\n");
        raise(SIGTERM);
    }
#endif
    // Gives back what arrives on its input, then "end" at its end.
    if (mode == "echo") {
        char buffer[4096];
        for (long n; (n = Get(buffer, sizeof buffer)) > 0;)
            Put(Out, buffer, static_cast<std::size_t>(n));
        return Put(Out, "end\n") ? 0 : 1;
    }
    // Output and error in turns, each given time to arrive before the next.
    if (mode == "turns") {
        for (const char* line : {"out 1\n", "err 1\n", "out 2\n"}) {
            Put(line[0] == 'o' ? Out : Err, line);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return 0;
    }
    // Short lines, one write each, as a program that flushes every line.
    if (mode == "lines" && argc > 2) {
        const long count = std::atol(argv[2]);
        for (long i = 0; i < count; ++i)
            if (!Put(Out, "line " + std::to_string(i) + "\n"))
                return 1;
        return 0;
    }
    if (mode == "flood") {
        const std::string block(65536, 'y');
        while (Put(Out, block)) {
        }
        return 1;
    }
    if (mode == "closein") {
#ifdef _WIN32
        CloseHandle(StdHandle(In));
#else
        close(0);
#endif
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return 0;
    }
    if (mode == "cwd") {
        std::error_code error;
        return Put(Out, std::filesystem::current_path(error).string() + "\n") ? 0 : 1;
    }
#ifndef _WIN32
    // A grandchild in a session of its own holds the output; the child then
    // ends ("exit") or never does ("hang").
    if (mode == "setsid" && argc > 2) {
        pid_t grandchild = fork();
        if (grandchild == 0) {
            setsid();
            std::this_thread::sleep_for(std::chrono::seconds(600));
            _exit(0);
        }
        Put(Out, std::to_string(grandchild) + "\n");
        if (std::string_view(argv[2]) == "hang")
            std::this_thread::sleep_for(std::chrono::seconds(600));
        return 0;
    }
#endif
    if (mode == "args") {
        for (int i = 2; i < argc; ++i)
            Put(Out, std::string("[") + argv[i] + "]\n");
        return 0;
    }
    Put(Err, "unknown mode\n");
    return 2;
}
