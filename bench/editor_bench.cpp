// Load and save of a 50 MB Java file through a real editor window.
#include "cedit.h"
#include "fmain.h"
#include "richedit.h"
#include "zidarodadefs.h"

#include <QApplication>
#include <QKeyEvent>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

using namespace zj;

namespace {

constexpr std::size_t FileSize = 50u << 20;

// A Java-like text of about FileSize bytes with the given line break.
std::string JavaText(const char* lineBreak)
{
    const std::string lines[] = {
        "public class Sample extends Base implements Runnable {",
        "    private final int count = 42; // a class field",
        "    public void run() { System.out.println(\"class \" + count); }",
        "}",
        "",
    };
    std::string text;
    text.reserve(FileSize + 256);
    for (std::size_t i = 0; text.size() < FileSize; ++i)
        text.append(lines[i % 5]).append(lineBreak);
    return text;
}

std::string WriteSample(const char* name, const char* lineBreak)
{
    auto path = std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + name);
    std::ofstream(path, std::ios::binary) << JavaText(lineBreak);
    return path.string();
}

struct Fixture {
    Fixture() : frame(std::make_unique<TfrmMain>()) {}
    std::unique_ptr<TfrmMain> frame;
};

void LoadFile(benchmark::State& state, const char* lineBreak)
{
    Fixture fixture;
    // Shown, so the time includes laying out and painting the first page.
    fixture.frame->show();
    const std::string path = WriteSample("_load.java", lineBreak);
    for (auto _ : state) {
        auto* editor = new TcwEdit(*fixture.frame);
        editor->LoadFile(path);
        QApplication::processEvents();
        editor->memText->repaint();
        benchmark::DoNotOptimize(editor->memText->Length());
        state.PauseTiming();
        delete editor;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}

void BM_LoadFileCrLf(benchmark::State& state) { LoadFile(state, "\r\n"); }
void BM_LoadFileLf(benchmark::State& state) { LoadFile(state, "\n"); }

void BM_Save(benchmark::State& state)
{
    Fixture fixture;
    const std::string path = WriteSample("_save.java", "\n");
    auto* editor = new TcwEdit(*fixture.frame);
    editor->LoadFile(path);
    for (auto _ : state)
        editor->Save();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * std::filesystem::file_size(path)));
    delete editor;
    std::filesystem::remove(path);
}

// One keystroke in a 50 MB document: the character typed and the command
// state run by its caret move.
void BM_KeystrokeIn50MB(benchmark::State& state)
{
    Fixture fixture;
    fixture.frame->show();
    const std::string path = WriteSample("_keys.java", "\r\n");
    auto* editor = new TcwEdit(*fixture.frame);
    editor->LoadFile(path);
    editor->memText->SetSel(editor->memText->Length() / 2, 0);
    QApplication::processEvents();
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(editor->memText, &press);
        QApplication::processEvents();
    }
    delete editor;
    std::filesystem::remove(path);
}

void BM_UpdateMenuItemsIn50MB(benchmark::State& state)
{
    Fixture fixture;
    const std::string path = WriteSample("_state.java", "\r\n");
    // A compiler file that exists, so the existence test runs every time.
    JavaCompilerPath = path;
    auto* editor = new TcwEdit(*fixture.frame);
    editor->LoadFile(path);
    editor->memText->SetSel(1000, 10);
    for (auto _ : state)
        fixture.frame->UpdateMenuItems();
    JavaCompilerPath.clear();
    delete editor;
    std::filesystem::remove(path);
}

} // namespace

BENCHMARK(BM_KeystrokeIn50MB)->Unit(benchmark::kMicrosecond)->Iterations(2000);
BENCHMARK(BM_UpdateMenuItemsIn50MB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadFileCrLf)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadFileLf)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->Iterations(3);
