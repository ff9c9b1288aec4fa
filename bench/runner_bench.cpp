// The process runner reading 100 MB from a child, against the same child read
// through a plain pipe; and the fixed cost of running a child that prints
// nothing, against a bare spawn and wait.
#include "benchutil.h"
#include "cmdline.h"
#include "dosprocess.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr std::size_t OutputSize = 100u << 20;

std::string ChildCommand(const std::string& args)
{
    return zj::QuoteProgram(RUNNER_CHILD) + " " + args;
}

// posix_spawn with the pipe as standard output, read to its end in chunks of
// the given size, then waitpid.
std::size_t PlainPipeRun(const std::vector<std::string>& args, std::size_t chunk)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    std::string output;
    std::vector<char> buffer(chunk);
    for (ssize_t n; (n = read(ends[0], buffer.data(), chunk)) > 0;)
        output.append(buffer.data(), static_cast<std::size_t>(n));
    close(ends[0]);
    if (rc == 0)
        waitpid(pid, nullptr, 0);
    return output.size();
}

void RunnerReads100MB(benchmark::State& state)
{
    const std::string cmdLine = ChildCommand("bytes " + std::to_string(OutputSize));
    // The runner echoes what it reads; 100 MB would bury the report.
    zj::bench::TQuietStdout quiet;
    for (auto _ : state) {
        std::string output;
        zj::RunDosProcess(cmdLine, false, output);
        if (output.size() != OutputSize)
            state.SkipWithError("short output");
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * OutputSize));
}

void PlainPipeReads100MB(benchmark::State& state)
{
    const std::vector<std::string> args = {RUNNER_CHILD, "bytes", std::to_string(OutputSize)};
    for (auto _ : state) {
        if (PlainPipeRun(args, static_cast<std::size_t>(state.range(0))) != OutputSize)
            state.SkipWithError("short output");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * OutputSize));
}

void RunnerSilentChild(benchmark::State& state)
{
    const std::string cmdLine = ChildCommand("silent");
    for (auto _ : state) {
        std::string output;
        zj::RunDosProcess(cmdLine, false, output);
        benchmark::DoNotOptimize(output.data());
    }
}

void PlainSpawnSilentChild(benchmark::State& state)
{
    const std::vector<std::string> args = {RUNNER_CHILD, "silent"};
    for (auto _ : state)
        benchmark::DoNotOptimize(PlainPipeRun(args, 4096));
}

} // namespace

BENCHMARK(RunnerReads100MB)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainPipeReads100MB)->ArgName("chunk")->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(RunnerSilentChild)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainSpawnSilentChild)->Unit(benchmark::kMicrosecond);
