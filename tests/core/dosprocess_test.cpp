#include "cmdline.h"
#include "dosprocess.h"
#include "process.h"

#include "ownfolder.h"
#include "processes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace zj;
using zj::test::OwnFolder;
using zj::test::ProcessAlive;
using zj::test::ProcessGoes;
namespace fs = std::filesystem;

namespace {

std::string Utf8(const fs::path& path)
{
    std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

// The child program is built next to this test program.
const std::string& Child()
{
    static const std::string path = Utf8(OwnFolder() / RUNNER_CHILD_NAME);
    return path;
}

std::string Command(const std::string& program, const std::vector<std::string>& args)
{
    std::string cmd = QuoteProgram(program);
    for (const std::string& arg : args)
        cmd += " " + QuoteArgument(arg);
    return cmd;
}

std::string ChildCommand(const std::vector<std::string>& args)
{
    return Command(Child(), args);
}

// What the child's "bytes" mode writes.
std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

struct RunResult {
    std::string output;
    std::string echo;
    std::string error;
};

// Runs body with the test's standard output pointed at a temporary file, and
// returns what reached it: the echo.
template <class Body>
std::string CapturingStdOut(Body body)
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

// Runs with the test's standard output pointed at a temporary file, to see the echo.
RunResult RunCaptured(const std::string& cmdLine, std::string output = {})
{
    RunResult run{std::move(output), {}, {}};
    run.echo = CapturingStdOut([&] {
        try {
            RunDosProcess(cmdLine, false, run.output);
        } catch (const EDosProcessError& e) {
            run.error = e.what();
        } catch (...) {
            run.error = "unexpected exception";
        }
    });
    return run;
}

// Polls run until it is over; false when it never ends.
bool PollToEnd(TDosRun& run)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!run.Poll(20))
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}

struct WatchedResult {
    std::string output;
    std::string echo;
    std::string error;
    TDosEnd end;
    bool ended = false;
};

// A watched run of program to its end, its echo captured.
WatchedResult RunWatched(const std::string& program, const std::vector<std::string>& args)
{
    WatchedResult result;
    result.echo = CapturingStdOut([&] {
        try {
            TDosRun run(program, args, false);
            result.ended = PollToEnd(run);
            result.output = run.Output();
            result.end = run.End();
            if (!result.ended)
                run.Stop();
        } catch (const EDosProcessError& e) {
            result.error = e.what();
        }
    });
    return result;
}

#ifndef _WIN32
// The state letter of /proc/<pid>/stat; 0 once the process is gone for good.
char ProcessState(long pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return 0;
    return line[line.rfind(')') + 2];
}

#endif

void EndProcess(long pid)
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
std::string StdState()
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

long OpenHandles()
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

constexpr int ReportFd = 500;

// Runs body in a forked copy of the test, which may take away its own standard
// descriptors or lower its limits without harming the test; returns body's
// report, with a note when the copy died instead.
std::string InForkedProcess(const std::function<std::string()>& body)
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

// How the output of the child's "bytes" mode and the standard descriptors come
// out of a run.
std::string RunBytesAndDescribe(std::size_t size)
{
    const std::string before = StdState();
    std::string output;
    std::string result;
    try {
        RunDosProcess(ChildCommand({"bytes", std::to_string(size)}), false, output);
    } catch (const EDosProcessError& e) {
        result = std::string(e.what()) + "; ";
    }
    result += std::to_string(output.size()) + (output == Pattern(size) ? " intact" : " damaged");
    return result + (StdState() == before ? " restored" : " changed to " + StdState());
}

#endif

} // namespace

TEST(RunDosProcess, ChildWithoutOutputLeavesOutputAsItWas)
{
    RunResult run = RunCaptured(ChildCommand({"silent"}), "kept");
    EXPECT_EQ(run.error, "");
    EXPECT_EQ(run.output, "kept");
    EXPECT_EQ(run.echo, "");
}

TEST(RunDosProcess, CollectsEveryByteInOrderAndEchoesIt)
{
    // A NUL every 251 bytes; the larger size takes several reads.
    for (std::size_t size : {600u, 5 * 4096u + 123u}) {
        RunResult run = RunCaptured(ChildCommand({"bytes", std::to_string(size)}), "x");
        EXPECT_EQ(run.error, "");
        ASSERT_EQ(run.output.size(), size + 1);
        EXPECT_TRUE(run.output == "x" + Pattern(size)) << size;
        EXPECT_TRUE(run.echo == Pattern(size)) << size;
    }
}

TEST(RunDosProcess, StandardErrorIsPartOfTheOutput)
{
    EXPECT_EQ(RunCaptured(ChildCommand({"stderr", "A.java:1: error\n"})).output, "A.java:1: error\n");
    EXPECT_EQ(RunCaptured(ChildCommand({"mixed"})).output, "out 1\nerr 1\nout 2\n");
}

TEST(RunDosProcess, ChildReadingItsInputSeesItsEnd)
{
    EXPECT_EQ(RunCaptured(ChildCommand({"stdin"})).output, "read 0 bytes\n");
}

TEST(RunDosProcess, ProgramAndArgumentsWithBlanksArriveIntact)
{
    const fs::path top = fs::temp_directory_path()
                         / ("zj runner " + std::to_string(std::chrono::system_clock::now().time_since_epoch().count()));
    const fs::path program = top / "dir with blanks" / ("runner child" + fs::path(Child()).extension().string());
    fs::create_directories(program.parent_path());
    fs::copy_file(Child(), program);
    fs::permissions(program, fs::perms::owner_all, fs::perm_options::add);

    const std::vector<std::string> args = {"args",      "C:\\work dir\\Hello World.java", "plain", "",
                                           "say \"hi\"", "trailing\\ dir\\",              "tab\there"};
    RunResult run = RunCaptured(Command(Utf8(program), args));
    std::string expected;
    for (std::size_t i = 1; i < args.size(); ++i)
        expected += "[" + args[i] + "]\n";
    EXPECT_EQ(run.error, "");
    EXPECT_EQ(run.output, expected);
    fs::remove_all(top);
#ifndef _WIN32
    // A name without a folder is looked up on PATH, with no shell in between.
    EXPECT_EQ(RunCaptured("echo \"found on PATH\" $HOME").output, "found on PATH $HOME\n");
#endif
}

TEST(RunDosProcess, ProgramThatCannotStartFailsAndLeavesTheHandlesAsTheyWere)
{
    const std::string cmdLines[] = {QuoteProgram(Utf8(OwnFolder() / "no such program")),
                                    "zj-no-such-program-anywhere x", "", QuoteProgram(Utf8(OwnFolder()))};
    // The system's program search may keep handles of its own after its first use.
    for (const std::string& cmdLine : cmdLines)
        RunCaptured(cmdLine);
    const std::string before = StdState();
    const long handles = OpenHandles();
    for (const std::string& cmdLine : cmdLines) {
        RunResult run = RunCaptured(cmdLine, "kept");
        EXPECT_EQ(run.error, "Create process failed") << cmdLine;
        EXPECT_EQ(run.output, "kept");
        EXPECT_EQ(StdState(), before);
        EXPECT_EQ(OpenHandles(), handles) << cmdLine;
    }
    EXPECT_EQ(RunCaptured(ChildCommand({"args", "next run"})).output, "[next run]\n");
}

TEST(RunDosProcess, SuccessfulRunsLeaveNoHandleOpen)
{
    RunCaptured(ChildCommand({"silent"}));
    const std::string before = StdState();
    const long handles = OpenHandles();
    RunCaptured(ChildCommand({"bytes", "10000"}));
    RunCaptured(ChildCommand({"stdin"}));
    EXPECT_EQ(StdState(), before);
    EXPECT_EQ(OpenHandles(), handles);
}

TEST(RunDosProcess, CollectsEverythingWithoutAStandardOutput)
{
    const std::size_t size = 3 * 4096 + 5;
    std::string output;
#ifdef _WIN32
    HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
    RunDosProcess(ChildCommand({"bytes", std::to_string(size)}), false, output);
    const bool stillNone = GetStdHandle(STD_OUTPUT_HANDLE) == nullptr;
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
#else
    std::fflush(stdout);
    int saved = fcntl(1, F_DUPFD_CLOEXEC, 3);
    close(1);
    RunDosProcess(ChildCommand({"bytes", std::to_string(size)}), false, output);
    const bool stillNone = fcntl(1, F_GETFD) == -1 && errno == EBADF;
    dup2(saved, 1);
    close(saved);
#endif
    EXPECT_TRUE(stillNone);
    EXPECT_EQ(output.size(), size);
    EXPECT_TRUE(output == Pattern(size));
}

TEST(RunDosProcess, ReturnsWhileAChildThatClosedItsOutputLivesOn)
{
    RunResult run = RunCaptured(ChildCommand({"linger"}));
    ASSERT_EQ(run.error, "");
    const long pid = std::stol(run.output);
#ifdef _WIN32
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(WaitForSingleObject(process, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    TerminateProcess(process, 0);
    CloseHandle(process);
#else
    const char state = ProcessState(pid);
    EXPECT_TRUE(state != 0 && state != 'Z') << state;
    kill(static_cast<pid_t>(pid), SIGTERM);
    // Reaped once it ends, not left a zombie.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ProcessState(pid) != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ProcessState(pid), 0);
#endif
}

#ifndef _WIN32

TEST(RunDosProcessPosix, WorksWithStandardDescriptorsClosed)
{
    // pipe() then hands out 0, 1 or 2 itself; closed ones must stay closed.
    for (const std::vector<int>& closed : std::vector<std::vector<int>>{{0}, {2}, {0, 1, 2}, {1, 2}}) {
        std::string report = InForkedProcess([&] {
            for (int fd : closed)
                close(fd);
            return RunBytesAndDescribe(2 * 4096 + 7);
        });
        EXPECT_EQ(report, "8199 intact restored") << closed.size() << " closed, first " << closed[0];
    }
}

TEST(RunDosProcessPosix, EchoToAStandardOutputWithoutReaderEndsOnlyTheEcho)
{
    std::string report = InForkedProcess([] {
        int ends[2];
        if (pipe(ends) != 0)
            return std::string("no pipe");
        dup2(ends[1], 1);
        close(ends[0]);
        close(ends[1]);
        std::string result = RunBytesAndDescribe(3 * 4096);
        sigset_t pending;
        sigpending(&pending);
        return result + (sigismember(&pending, SIGPIPE) ? " SIGPIPE pending" : "");
    });
    EXPECT_EQ(report, "12288 intact restored");
}

TEST(RunDosProcessPosix, EveryFailingStepPutsTheDescriptorsBack)
{
#ifdef ZJ_SANITIZE
    // Without a free descriptor the sanitizer's type check cannot read the
    // memory map and takes every exception for a bad object.
    GTEST_SKIP() << "runs out of descriptors on purpose";
#endif
    // Allowing k new descriptors makes the step that needs one more fail.
    std::string report = InForkedProcess([] {
        int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        close_range(3, ReportFd - 1, 0);
        rlimit original{};
        getrlimit(RLIMIT_NOFILE, &original);
        const std::string before = StdState();
        std::string result;
        for (rlim_t k = 0; k <= 8; ++k) {
            rlimit limited = original;
            limited.rlim_cur = 3 + k;
            setrlimit(RLIMIT_NOFILE, &limited);
            std::string output;
            try {
                RunDosProcess(ChildCommand({"args", "ok"}), false, output);
                result += output;
            } catch (const EDosProcessError& e) {
                result += std::string(e.what()) + "\n";
            }
            setrlimit(RLIMIT_NOFILE, &original);
            if (StdState() != before)
                result += "standard descriptors changed\n";
            for (int fd = 3; fd < ReportFd; ++fd)
                if (fcntl(fd, F_GETFD) != -1)
                    result += std::to_string(fd) + " left open\n";
        }
        return result;
    });
    EXPECT_EQ(report, "Stdout pipe creation failed\n"
                      "Stdout pipe creation failed\n"
                      "Stdout pipe creation failed\n"
                      "Redirecting STDERR failed\n"
                      "Stdin pipe creation failed\n"
                      "Stdin pipe creation failed\n"
                      "Stdin pipe creation failed\n"
                      "DuplicateHandle failed\n"
                      "[ok]\n");
}

#endif

TEST(DosRun, TellsHowTheChildEnded)
{
    struct Case {
        std::vector<std::string> args;
        TDosEnd::TKind kind;
        int code;
        std::string output;
    };
    const std::vector<Case> cases = {
        {{"silent"}, TDosEnd::Exited, 0, ""},
        {{"exit", "3", "oops"}, TDosEnd::Exited, 3, "oops\n"},
        {{"stderr", "A.java:1: error\n"}, TDosEnd::Exited, 0, "A.java:1: error\n"},
        {{"bytes", std::to_string(50u << 20)}, TDosEnd::Exited, 0, Pattern(50u << 20)},
#ifndef _WIN32
        {{"signal"}, TDosEnd::Signalled, SIGTERM, "ending\n"},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        WatchedResult run = RunWatched(Child(), c.args);
        EXPECT_EQ(run.error, "");
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(run.end.Kind, c.kind);
        EXPECT_EQ(run.end.Code, c.code);
        EXPECT_TRUE(run.output == c.output);
        EXPECT_TRUE(run.echo == c.output);
    }
}

TEST(DosRun, AProcessLeftBehindDoesNotHoldTheRun)
{
    // The grandchild keeps the output open for a minute; the run is over
    // once the child itself has ended, with what it wrote.
    WatchedResult run = RunWatched(Child(), {"daemon"});
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.end.Kind, TDosEnd::Exited);
    EXPECT_EQ(run.end.Code, 4);
    ASSERT_FALSE(run.output.empty());
    const long grandchild = std::stol(run.output);
    EXPECT_TRUE(ProcessAlive(grandchild)) << "the run waited for the grandchild";
    EndProcess(grandchild);
}

TEST(DosRun, StopEndsTheChildAndEverythingItStarted)
{
    CapturingStdOut([] {
        TDosRun run(Child(), {"hang"}, false);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (run.Output().find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline)
            EXPECT_FALSE(run.Poll(20));
        std::istringstream pids(run.Output());
        long child = 0, grandchild = 0;
        pids >> child >> grandchild;
        ASSERT_GT(grandchild, 0) << run.Output();
        EXPECT_TRUE(ProcessAlive(child));
        EXPECT_TRUE(ProcessAlive(grandchild));

        run.Stop();
        EXPECT_TRUE(run.Done());
        EXPECT_TRUE(run.Poll(0));
        EXPECT_EQ(run.End().Kind, TDosEnd::Stopped);
        EXPECT_TRUE(ProcessGoes(child));
        EXPECT_TRUE(ProcessGoes(grandchild));
    });
}

TEST(DosRun, ProgramAndArgumentsArriveAsGiven)
{
    const fs::path top = fs::temp_directory_path()
                         / ("zj run " + std::to_string(std::chrono::system_clock::now().time_since_epoch().count()));
#ifdef _WIN32
    const std::string folders[] = {"my jdk", "a b"};
#else
    // Nothing is split or unquoted on the way: quotes are parts of the names.
    const std::string folders[] = {"my\"jdk", "a\"b c\""};
#endif
    const std::vector<std::string> args = {"args", "/work dir/Hello World.java", "say \"hi\"", "", "tab\there"};
    std::string expected;
    for (std::size_t i = 1; i < args.size(); ++i)
        expected += "[" + args[i] + "]\n";
    for (const std::string& folder : folders) {
        const fs::path program = top / folder / ("runner child" + fs::path(Child()).extension().string());
        fs::create_directories(program.parent_path());
        fs::copy_file(Child(), program);
        WatchedResult run = RunWatched(Utf8(program), args);
        EXPECT_EQ(run.error, "") << folder;
        EXPECT_EQ(run.output, expected) << folder;
    }
    fs::remove_all(top);
}

#ifdef _WIN32

TEST(DosRunWin32, EchoNeverWaitsForAStalledReader)
{
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 4096));
    HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, writeEnd);
    const std::size_t size = 1u << 20;
    std::string output;
    RunDosProcess(ChildCommand({"bytes", std::to_string(size)}), false, output);
    TDosRun run(Child(), {"bytes", std::to_string(size)}, false);
    const bool ended = PollToEnd(run);
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    CloseHandle(readEnd);
    CloseHandle(writeEnd);
    EXPECT_TRUE(output == Pattern(size));
    EXPECT_TRUE(ended && run.Output() == Pattern(size));
}

#else

TEST(DosRunPosix, EchoNeverWaitsForAStalledReader)
{
    // Standard output is a pipe that nobody reads: the echo fills it and
    // must give up instead of waiting, while the whole output is read.
    std::string report = InForkedProcess([] {
        alarm(100);
        int ends[2];
        if (pipe(ends) != 0)
            return std::string("no pipe");
        dup2(ends[1], 1);
        close(ends[1]);
        const std::size_t size = 1u << 20;
        std::string result;
        std::string output;
        RunDosProcess(ChildCommand({"bytes", std::to_string(size)}), false, output);
        result += output == Pattern(size) ? "intact" : "damaged";
        TDosRun run(Child(), {"bytes", std::to_string(size)}, false);
        result += PollToEnd(run) && run.Output() == Pattern(size) ? " intact" : " damaged";
        close(ends[0]);
        return result;
    });
    EXPECT_EQ(report, "intact intact");
}

TEST(DosRunPosix, ClosedStandardDescriptorsAreTakenByNullFirst)
{
    // Started with its standard descriptors closed, the editor's next file
    // (its display connection) would take one of their numbers and receive
    // the echo of every compile.
    std::string report = InForkedProcess([] {
        close(0);
        close(1);
        close(2);
        std::string result = OpenClosedStdStreams() ? "" : "failed ";
        struct stat null {};
        stat("/dev/null", &null);
        for (int fd = 0; fd <= 2; ++fd) {
            struct stat st {};
            result += fstat(fd, &st) == 0 && st.st_rdev == null.st_rdev ? "null " : "other ";
        }
        // As started with 1>&-.
        close(1);
        OpenClosedStdStreams();
        std::FILE* connection = std::tmpfile();
        result += fileno(connection) > 2 ? "apart " : "standard ";
        TDosRun run(Child(), {"bytes", "5000"}, false);
        PollToEnd(run);
        std::fseek(connection, 0, SEEK_END);
        result += std::to_string(std::ftell(connection)) + " " + std::to_string(run.Output().size());
        return result;
    });
    EXPECT_EQ(report, "null null null apart 0 5000");
}

#endif
