// Find Next and Replace All through the frame in a 50 MB Java file, and
// sed doing the same replacement on the same file in the same run.
#include "benchutil.h"
#include "cedit.h"
#include "finddialogs.h"
#include "fmain.h"
#include "richedit.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

using namespace zj;

namespace {

constexpr std::size_t FileSize = 50u << 20;

// About 600,000 occurrences of "class" in 50 MB; with nonAscii one é near
// the start, which takes the case-insensitive search off its byte scan.
std::string JavaText(bool nonAscii)
{
    const std::string lines[] = {
        "public class Sample extends Base implements Runnable {",
        "    private final int count = 42; // a class field",
        "    public void run() { System.out.println(\"count \" + count); }",
        "}",
        "",
    };
    std::string text = nonAscii ? "// caf\xc3\xa9\r\n" : "";
    text.reserve(FileSize + 256);
    for (std::size_t i = 0; text.size() < FileSize; ++i)
        text.append(lines[i % 5]).append("\r\n");
    return text.append("needle\r\n");
}

const std::string& SamplePath(bool nonAscii)
{
    static std::string paths[2];
    std::string& path = paths[nonAscii];
    if (path.empty()) {
        path = (std::filesystem::temp_directory_path()
                / (std::to_string(::getpid()) + (nonAscii ? "_search_utf8.java" : "_search.java")))
                   .string();
        std::ofstream(path, std::ios::binary) << JavaText(nonAscii);
        zj::bench::MakeOld(path);
        std::atexit([] {
            for (const std::string& name : paths)
                if (!name.empty())
                    std::filesystem::remove(name);
        });
    }
    return path;
}

double SedSeconds(const std::string& path)
{
    const std::string out = path + ".sed";
    const std::string command = "sed 's/class/klass/g' '" + path + "' > '" + out + "'";
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0)
        return -1;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::filesystem::remove(out);
    return elapsed.count();
}

struct Fixture {
    explicit Fixture(bool nonAscii) : frame(std::make_unique<TfrmMain>())
    {
        frame->show();
        // Opened as the Open command does, so it is the window the frame's
        // search works in.
        editor = frame->OpenFile(SamplePath(nonAscii));
        QApplication::processEvents();
    }
    std::unique_ptr<TfrmMain> frame;
    TcwEdit* editor;
};

void BM_Sed(benchmark::State& state)
{
    const std::string& path = SamplePath(false);
    for (auto _ : state) {
        const double seconds = SedSeconds(path);
        if (seconds < 0) {
            state.SkipWithError("sed failed");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * std::filesystem::file_size(path)));
}

// Replace All of class with klass as the Replace dialog's button runs it,
// the repaint that follows included.
void BM_ReplaceAll(benchmark::State& state)
{
    const bool nonAscii = state.range(0) != 0;
    Fixture fixture(nonAscii);
    const std::string original(fixture.editor->memText->Bytes());
    fixture.frame->dlgReplace->SetFindText("class");
    fixture.frame->dlgReplace->SetReplaceText("klass");
    fixture.frame->dlgReplace->Options = frDown | frDisableUpDown | frReplaceAll;
    const double sed = SedSeconds(SamplePath(nonAscii));
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fixture.editor->memText->LoadBytes(original);
        fixture.editor->memText->SetSel(fixture.editor->memText->Length(), 0);
        QApplication::processEvents();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        fixture.frame->dlgReplaceReplace();
        QApplication::processEvents();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const std::string_view result = fixture.editor->memText->Bytes();
    std::size_t replaced = 0;
    for (std::size_t at = result.find("klass"); at != std::string_view::npos; at = result.find("klass", at + 5))
        ++replaced;
    if (replaced == 0)
        state.SkipWithError("nothing replaced");
    state.counters["replaced"] = static_cast<double>(replaced);
    state.counters["sed_ms"] = sed * 1000;
    state.counters["x_sed"] = total / static_cast<double>(state.iterations()) / sed;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * original.size()));
}

// One Find Next from the start across the whole text to the only needle at
// its very end.
void BM_FindNextAcross50MB(benchmark::State& state)
{
    const bool nonAscii = state.range(0) != 0;
    const bool matchCase = state.range(1) != 0;
    Fixture fixture(nonAscii);
    for (auto _ : state) {
        state.PauseTiming();
        fixture.editor->memText->SetSel(0, 0);
        fixture.editor->SavedCaret = 0;
        state.ResumeTiming();
        // Only the case-insensitive search finds it.
        if (fixture.editor->FindNext("Needle", false, matchCase) == matchCase)
            state.SkipWithError("wrong outcome");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fixture.editor->memText->Length()));
}

} // namespace

BENCHMARK(BM_Sed)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReplaceAll)->Arg(0)->Arg(1)->ArgName("nonAscii")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FindNextAcross50MB)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"nonAscii", "matchCase"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
