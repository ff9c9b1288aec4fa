#include "cmdline.h"
#include "dosprocess.h"
#include "job.h"
#include "process.h"

#include "processes.h"
#include "runnertest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace zj;
using namespace zj::test;

namespace {

using Clock = std::chrono::steady_clock;

struct TRun {
    std::vector<TJobPiece> pieces;
    std::string output;
    bool finished = false;
};

// Takes what job has written until until() holds or it has finished; false
// when neither happens within a minute.
bool TakeUntil(TJob& job, TRun& run, const std::function<bool()>& until = [] { return false; })
{
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
        const std::size_t from = run.pieces.size();
        job.Take(run.pieces);
        for (std::size_t i = from; i < run.pieces.size(); ++i)
            run.output += run.pieces[i].Bytes;
        run.finished = job.Finished();
        if (run.finished || until())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

TRun RunToEnd(const std::vector<std::string>& args, TJobOptions options = {})
{
    TJob job(Child(), args, options);
    TRun run;
    EXPECT_TRUE(TakeUntil(job, run));
    return run;
}

// The pieces with the stream they came on, one a line: "out: ..." or "err: ...".
std::string Streams(const std::vector<TJobPiece>& pieces)
{
    std::string text;
    for (const TJobPiece& piece : pieces)
        text += (piece.Stream == TJobStream::Output ? "out: " : "err: ") + piece.Bytes;
    return text;
}

std::vector<long> Pids(const std::string& output)
{
    std::istringstream in(output);
    std::vector<long> pids;
    for (long pid; in >> pid;)
        pids.push_back(pid);
    return pids;
}

} // namespace

TEST(Job, TellsHowTheChildEndedWithItsStreamsApartInArrivalOrder)
{
    struct Case {
        std::vector<std::string> args;
        TJobEnd::TKind kind;
        int code;
        std::string streams;
    };
    const std::vector<Case> cases = {
        {{"silent"}, TJobEnd::Exited, 0, ""},
        {{"exit", "3", "oops"}, TJobEnd::Exited, 3, "out: oops\n"},
        {{"turns"}, TJobEnd::Exited, 0, "out: out 1\nerr: err 1\nout: out 2\n"},
#ifndef _WIN32
        {{"signal"}, TJobEnd::Signalled, SIGTERM, "out: ending\n"},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        TJob job(Child(), c.args, {});
        TRun run;
        ASSERT_TRUE(TakeUntil(job, run));
        EXPECT_EQ(job.End().Kind, c.kind);
        EXPECT_EQ(job.End().Code, c.code);
        EXPECT_EQ(Streams(run.pieces), c.streams);
    }
    // 50 MB arrive whole and in order, echoed when asked to be.
    const std::size_t size = 50u << 20;
    TRun run;
    const std::string echo = CapturingStdOut([&] {
        TJobOptions options;
        options.Echo = true;
        options.Limit = size;
        run = RunToEnd({"bytes", std::to_string(size)}, options);
    });
    EXPECT_TRUE(run.output == Pattern(size));
    EXPECT_TRUE(echo == run.output);
}

TEST(Job, TheChildsInputTakesWhatIsWrittenAndEndsWhenClosed)
{
    TJobOptions options;
    options.KeepInput = true;
    TJob echo(Child(), {"echo"}, options);
    TRun run;
    echo.WriteInput("line 1\n");
    ASSERT_TRUE(TakeUntil(echo, run, [&] { return run.output == "line 1\n"; }));
    echo.WriteInput(std::string(1u << 20, 'z'));
    echo.WriteInput("\nline 2\n");
    echo.CloseInput();
    echo.WriteInput("after the end\n");
    ASSERT_TRUE(TakeUntil(echo, run));
    EXPECT_TRUE(run.output == "line 1\n" + std::string(1u << 20, 'z') + "\nline 2\nend\n");

    // Without input to give, the child sees its end at once; one that closes
    // its input only makes what is written go nowhere.
    EXPECT_EQ(RunToEnd({"stdin"}).output, "read 0 bytes\n");
    TJob closing(Child(), {"closein"}, options);
    for (int i = 0; i < 64; ++i)
        closing.WriteInput(std::string(65536, 'q'));
    TRun closed;
    ASSERT_TRUE(TakeUntil(closing, closed));
    EXPECT_EQ(closing.End().Kind, TJobEnd::Exited);
    EXPECT_EQ(closing.End().Code, 0);
}

TEST(Job, TwoRunAtOnceWithoutTouchingTheEditorsStreams)
{
    const std::string before = StdState();
    const long handles = OpenHandles();
    {
        TJobOptions options;
        options.KeepInput = true;
        TJob first(Child(), {"echo"}, options);
        TJob second(Child(), {"echo"}, options);
        EXPECT_EQ(StdState(), before);
        first.WriteInput("to the first\n");
        second.WriteInput("to the second\n");
        // Neither holds the other's pipes: each ends with its own input.
        second.CloseInput();
        TRun secondRun, firstRun;
        ASSERT_TRUE(TakeUntil(second, secondRun));
        EXPECT_EQ(secondRun.output, "to the second\nend\n");
        first.CloseInput();
        ASSERT_TRUE(TakeUntil(first, firstRun));
        EXPECT_EQ(firstRun.output, "to the first\nend\n");
    }
    EXPECT_EQ(StdState(), before);
    EXPECT_EQ(OpenHandles(), handles);
}

TEST(Job, StopEndsTheChildAndEverythingItStarted)
{
    TJob job(Child(), {"hang"}, {});
    TRun run;
    ASSERT_TRUE(TakeUntil(job, run, [&] { return run.output.find('\n') != std::string::npos; }));
    const std::vector<long> pids = Pids(run.output);
    ASSERT_EQ(pids.size(), 2u) << run.output;
    EXPECT_TRUE(ProcessAlive(pids[1]));
    job.Stop();
    ASSERT_TRUE(TakeUntil(job, run));
    EXPECT_EQ(job.End().Kind, TJobEnd::Stopped);
    EXPECT_TRUE(ProcessGoes(pids[0]));
    EXPECT_TRUE(ProcessGoes(pids[1]));
}

TEST(Job, WhatStillHoldsTheOutputAfterTheChildEndedIsEndedToo)
{
    TJob job(Child(), {"daemon"}, {});
    TRun run;
    ASSERT_TRUE(TakeUntil(job, run));
    EXPECT_EQ(job.End().Kind, TJobEnd::Exited);
    EXPECT_EQ(job.End().Code, 4);
    const std::vector<long> pids = Pids(run.output);
    ASSERT_EQ(pids.size(), 1u) << run.output;
    EXPECT_TRUE(ProcessGoes(pids[0]));
}

TEST(Job, EndlessOutputKeepsOnlyItsLimitAndStops)
{
    for (TJobOptions::TKeep keep : {TJobOptions::KeepFirst, TJobOptions::KeepLast}) {
        SCOPED_TRACE(keep == TJobOptions::KeepFirst ? "first" : "last");
        TJobOptions options;
        options.Keep = keep;
        options.Limit = 1u << 20;
        TJob job(Child(), {"flood"}, options);
        // Nothing is taken meanwhile: the job drains the rest on its own.
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (job.Written() < (64u << 20) && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        TRun run;
        // What waits is never more than the limit; the first bytes stay the
        // first, the latest replace older ones.
        job.Take(run.pieces);
        for (const TJobPiece& piece : run.pieces)
            run.output += piece.Bytes;
        EXPECT_LE(run.output.size(), options.Limit);
        job.Stop();
        ASSERT_TRUE(TakeUntil(job, run));
        EXPECT_EQ(job.End().Kind, TJobEnd::Stopped);
        if (keep == TJobOptions::KeepFirst) {
            EXPECT_EQ(run.output.size(), options.Limit);
        }
        EXPECT_EQ(job.Dropped() + run.output.size(), job.Written());
        EXPECT_GE(job.Written(), 64u << 20);
    }
}

TEST(Job, ProgramArgumentsAndFolderArriveAsGiven)
{
    const fs::path top = fs::temp_directory_path()
                         / ("zj job " + std::to_string(std::chrono::system_clock::now().time_since_epoch().count()));
#ifdef _WIN32
    const std::string folder = "my jdk";
#else
    // Nothing is split or unquoted on the way: quotes are parts of the names.
    const std::string folder = "a\"b c\"";
#endif
    const fs::path program = top / folder / ("runner child" + fs::path(Child()).extension().string());
    fs::create_directories(program.parent_path());
    fs::copy_file(Child(), program);
    const std::vector<std::string> args = {"args", "/work dir/Hello World.java", "say \"hi\"", "", "tab\there"};
    TJob job(Utf8(program), args, {});
    TRun run;
    ASSERT_TRUE(TakeUntil(job, run));
    EXPECT_EQ(run.output, "[/work dir/Hello World.java]\n[say \"hi\"]\n[]\n[tab\there]\n");

    TJobOptions options;
    options.Folder = Utf8(program.parent_path());
    const std::string cwd = RunToEnd({"cwd"}, options).output;
    ASSERT_FALSE(cwd.empty());
    EXPECT_TRUE(fs::equivalent(fs::u8path(cwd.substr(0, cwd.size() - 1)), program.parent_path())) << cwd;
    fs::remove_all(top);

    for (const std::string& missing : {Utf8(top / "no such program"), std::string("zj-no-such-program-anywhere")}) {
        try {
            TJob never(missing, {}, {});
            ADD_FAILURE() << missing << " started";
        } catch (const EDosProcessError& error) {
            EXPECT_STREQ(error.what(), "Create process failed");
        }
    }
}

#ifndef _WIN32

TEST(JobPosix, DescendantsInASessionOfTheirOwnAreEndedByStopAndAtTheEnd)
{
    BecomeSubreaper();
    for (const char* how : {"hang", "exit"}) {
        SCOPED_TRACE(how);
        TJob job(Child(), {"setsid", how}, {});
        TRun run;
        ASSERT_TRUE(TakeUntil(job, run, [&] { return run.output.find('\n') != std::string::npos; }));
        const std::vector<long> pids = Pids(run.output);
        ASSERT_EQ(pids.size(), 1u) << run.output;
        if (std::string(how) == "hang")
            job.Stop();
        ASSERT_TRUE(TakeUntil(job, run));
        EXPECT_TRUE(ProcessGoes(pids[0]));
    }
    // Ended orphans are collected, not left as zombies of the editor.
    TJob daemon(Child(), {"daemon"}, {});
    TRun run;
    ASSERT_TRUE(TakeUntil(daemon, run));
    const std::vector<long> pids = Pids(run.output);
    ASSERT_EQ(pids.size(), 1u);
    EXPECT_TRUE(ProcessGoes(pids[0]));
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (fs::exists("/proc/" + std::to_string(pids[0])) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(fs::exists("/proc/" + std::to_string(pids[0])));
}

TEST(JobPosix, EchoOfARunOrAJobNeverWaitsAndNeverTakesAStandardNumber)
{
    // Standard output a pipe that nobody reads: the echo of a run and of a
    // job gives up, the whole output is still taken. Then, started with its standard descriptors
    // closed, the editor's next file (its display connection) must not
    // receive the echo.
    std::string report = InForkedProcess([] {
        alarm(100);
        int ends[2];
        if (pipe(ends) != 0)
            return std::string("no pipe");
        dup2(ends[1], 1);
        close(ends[1]);
        TJobOptions options;
        options.Echo = true;
        const std::size_t size = 1u << 20;
        std::string output;
        RunDosProcess(QuoteProgram(Child()) + " bytes " + std::to_string(size), false, output);
        std::string result = output == Pattern(size) ? "intact " : "damaged ";
        TRun stalled = RunToEnd({"bytes", std::to_string(size)}, options);
        result += stalled.output == Pattern(size) ? "intact " : "damaged ";
        close(ends[0]);

        close(0);
        close(1);
        close(2);
        result += OpenClosedStdStreams() ? "" : "failed ";
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
        TRun run = RunToEnd({"bytes", "5000"}, options);
        std::fseek(connection, 0, SEEK_END);
        return result + std::to_string(std::ftell(connection)) + " " + std::to_string(run.output.size());
    });
    EXPECT_EQ(report, "intact intact null null null apart 0 5000");
}

#endif
