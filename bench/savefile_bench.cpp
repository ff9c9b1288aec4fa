// What guards the user's files and settings costs: a save in place of 50 MB
// (a file with a second name, so that its old content is kept in the cache
// folder until the new content is on disk) beside the same save by rename,
// and a start whose settings file holds a font name of 100 MB.
#include "fileio.h"
#include "fmain.h"
#include "msgdialogs.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace zj;
namespace fs = std::filesystem;

namespace {

fs::path Folder(const char* name)
{
    const fs::path folder = fs::temp_directory_path() / (std::to_string(::getpid()) + name);
    fs::create_directories(folder);
    return folder;
}

std::string Text(std::size_t size, char fill)
{
    std::string text;
    text.reserve(size + 64);
    while (text.size() < size)
        text.append("    int value = 42; // ").append(40, fill).append("\r\n");
    return text;
}

// range(0): 1 writes in place (the file has a second name), 0 by rename.
void BM_Save50MB(benchmark::State& state)
{
    const fs::path folder = Folder("_savebench");
    ::setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
    const std::string target = (folder / "Big.java").string();
    const std::string texts[] = {Text(50u << 20, 'a'), Text(50u << 20, 'b')};
    std::ofstream(target, std::ios::binary) << texts[0];
    if (state.range(0))
        fs::create_hard_link(target, folder / "Other.java");
    int turn = 0;
    for (auto _ : state)
        WriteFileSafely(target, texts[++turn % 2]);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * texts[0].size()));
    fs::remove_all(folder);
    ::unsetenv("XDG_CACHE_HOME");
}

// The settings read at a start, the frame made, from a file whose font name
// is 100 MB long; the error it raises answered at once.
void BM_StartBesideAHugeFontName(benchmark::State& state)
{
    const fs::path folder = Folder("_settingsbench");
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    fs::create_directories(folder / "zorvane-java-editor");
    std::ofstream(folder / "zorvane-java-editor" / "registry.reg", std::ios::binary)
        << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Zorvane\\Java Editor\\Display\\Font]\r\n\"FontName\"=\""
        << std::string(100u << 20, 'F') << "\"\r\n";
    int errors = 0;
    MessageHook = [&errors](const TMessageRequest&) {
        ++errors;
        return mrOk;
    };
    for (auto _ : state)
        TfrmMain frame;
    state.counters["errors"] = benchmark::Counter(errors, benchmark::Counter::kAvgIterations);
    MessageHook = nullptr;
    fs::remove_all(folder);
    ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace

BENCHMARK(BM_Save50MB)->Arg(0)->Arg(1)->ArgName("inPlace")->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_StartBesideAHugeFontName)->Unit(benchmark::kMillisecond)->Iterations(1);
