#include "cmdline.h"
#include "dosprocess.h"
#include "job.h"
#include "process.h"

#include "processes.h"
#include "runnertest.h"

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
using namespace zj::test;
using zj::test::ProcessAlive;
using zj::test::ProcessGoes;
namespace fs = std::filesystem;

namespace {

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

struct RunResult {
    std::string output;
    std::string echo;
    std::string error;
};

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

#ifndef _WIN32

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

#ifdef _WIN32

TEST(RunDosProcessWin32, EchoOfARunOrAJobNeverWaitsForAStalledReader)
{
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 4096));
    HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, writeEnd);
    const std::size_t size = 1u << 20;
    std::string output;
    RunDosProcess(ChildCommand({"bytes", std::to_string(size)}), false, output);
    TJobOptions options;
    options.Echo = true;
    TJob job(Child(), {"bytes", std::to_string(size)}, options);
    std::vector<TJobPiece> pieces;
    std::string taken;
    while (!job.Finished()) {
        Sleep(5);
        job.Take(pieces);
    }
    for (const TJobPiece& piece : pieces)
        taken += piece.Bytes;
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    CloseHandle(readEnd);
    CloseHandle(writeEnd);
    EXPECT_TRUE(output == Pattern(size));
    EXPECT_TRUE(taken == Pattern(size));
}

#endif
