// A document of one very long line, as minified markup and generated code
// are: opening it, a keystroke at its end, a repaint of the unchanged view
// (as the caret's blinking asks), and Replace All beside the same bytes in
// short lines. Each as a text file and as an HTML page, which may be coloured.
// Opening a line over a megabyte asks first: the opens here answer OK, and
// show the estimate the question gives beside the time it took; one answers
// Cancel.
#include "benchutil.h"
#include "cedit.h"
#include "finddialogs.h"
#include "fmain.h"
#include "msgdialogs.h"
#include "richedit.h"

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

// About size bytes of minified markup, its numbers all different. With
// shortLines a line break takes the place of a blank every 100 bytes or so;
// with eightBit it is no UTF-8, so the control shows it as 8-bit text.
std::string Markup(std::size_t size, bool shortLines, bool eightBit = false)
{
    std::string text;
    text.reserve(size + 256);
    if (eightBit)
        text += "<p>caf\xe9</p>";
    std::size_t lineStart = 0;
    for (unsigned i = 0; text.size() < size; ++i) {
        const std::string n = std::to_string(i * 7919u % 1000000u);
        text += "<div class=\"item c" + std::to_string(i % 37) + "\"><a href=\"/p?id=" + n + "\">Item " + n
                + "</a></div>";
        if (shortLines)
            for (std::size_t at = text.find(' ', lineStart + 100); at != std::string::npos;
                 at = text.find(' ', lineStart + 100)) {
                text[at] = '\n';
                lineStart = at + 1;
            }
    }
    return text;
}

// The sample as a page (.html) when the benchmark's second argument says so,
// else as a text file.
std::string WriteSample(const benchmark::State& state, const char* name, std::size_t size, bool shortLines = false,
                        bool eightBit = false)
{
    auto path = std::filesystem::temp_directory_path()
                / (std::to_string(::getpid()) + name + (state.range(1) ? ".html" : ".txt"));
    std::ofstream(path, std::ios::binary) << Markup(size, shortLines, eightBit);
    zj::bench::MakeOld(path);
    return path.string();
}

std::size_t Megabytes(const benchmark::State& state)
{
    return static_cast<std::size_t>(state.range(0)) << 20;
}

struct Fixture {
    explicit Fixture(TModalResult answer = mrOk) : frame(std::make_unique<TfrmMain>())
    {
        frame->show();
        MessageHook = [answer](const TMessageRequest&) { return answer; };
    }
    ~Fixture() { MessageHook = nullptr; }
    // Opened as the Open command does, the first page painted.
    TcwEdit* Open(const std::string& path)
    {
        TcwEdit* editor = frame->OpenFile(path);
        QApplication::processEvents();
        editor->memText->repaint();
        return editor;
    }
    std::unique_ptr<TfrmMain> frame;
};

void OpenOneLine(benchmark::State& state, bool eightBit)
{
    Fixture fixture;
    const std::string path = WriteSample(state, "_oneline", Megabytes(state), false, eightBit);
    for (auto _ : state) {
        TcwEdit* editor = fixture.Open(path);
        benchmark::DoNotOptimize(editor->memText->Length());
        state.PauseTiming();
        delete editor;
        state.ResumeTiming();
    }
    // What the question before the open said it would take.
    state.counters["estimate_ms"] =
        1000 * TRichEdit::LayoutSeconds(std::filesystem::file_size(path), !eightBit);
    std::filesystem::remove(path);
}

void BM_OpenOneLine(benchmark::State& state)
{
    OpenOneLine(state, false);
}

void BM_OpenOneLine8Bit(benchmark::State& state)
{
    OpenOneLine(state, true);
}

// The question answered with Cancel: the file is read to learn its line,
// and nothing is shown.
void BM_OpenOneLineCancelled(benchmark::State& state)
{
    Fixture fixture(mrCancel);
    const std::string path = WriteSample(state, "_cancelled", Megabytes(state));
    for (auto _ : state)
        if (fixture.frame->OpenFile(path))
            state.SkipWithError("opened");
    std::filesystem::remove(path);
}

// A character typed at the caret, the screen updated.
[[gnu::noinline]] void TypeAndPaint(TcwEdit* editor)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(editor->memText, &press);
    QApplication::processEvents();
    editor->memText->repaint();
}

// A character typed at the end of the line.
void BM_KeystrokeAtEndOfOneLine(benchmark::State& state)
{
    Fixture fixture;
    const std::string path = WriteSample(state, "_keyline", Megabytes(state));
    TcwEdit* editor = fixture.Open(path);
    editor->memText->setFocus();
    editor->memText->SetSel(editor->memText->Length(), 0);
    QApplication::processEvents();
    editor->memText->repaint();
    for (auto _ : state)
        TypeAndPaint(editor);
    delete editor;
    std::filesystem::remove(path);
}

// The view repainted with nothing changed.
void BM_RepaintOneLine(benchmark::State& state)
{
    Fixture fixture;
    const std::string path = WriteSample(state, "_paintline", Megabytes(state));
    TcwEdit* editor = fixture.Open(path);
    for (auto _ : state)
        editor->memText->viewport()->repaint();
    delete editor;
    std::filesystem::remove(path);
}

// Replace All of "item" with "entry" in 20 MB, in one line or in lines of
// about 100 bytes, the repaint that follows included.
void BM_ReplaceAll20MB(benchmark::State& state)
{
    Fixture fixture;
    const bool shortLines = state.range(0) != 0;
    const std::string path = WriteSample(state, "_replace", 20u << 20, shortLines);
    TcwEdit* editor = fixture.Open(path);
    const std::string original(editor->memText->Bytes());
    fixture.frame->dlgReplace->SetFindText("item");
    fixture.frame->dlgReplace->SetReplaceText("entry");
    fixture.frame->dlgReplace->Options = frDown | frDisableUpDown | frReplaceAll;
    for (auto _ : state) {
        state.PauseTiming();
        editor->memText->LoadBytes(original);
        QApplication::processEvents();
        editor->memText->repaint();
        state.ResumeTiming();
        fixture.frame->dlgReplaceReplace();
        QApplication::processEvents();
        editor->memText->repaint();
    }
    if (editor->memText->Length() == static_cast<int>(original.size()))
        state.SkipWithError("nothing replaced");
    delete editor;
    std::filesystem::remove(path);
}

} // namespace

BENCHMARK(BM_OpenOneLine)
    ->ArgsProduct({{1, 20}, {0, 1}})
    ->ArgNames({"MB", "html"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(BM_OpenOneLine8Bit)
    ->ArgsProduct({{1, 20}, {0}})
    ->ArgNames({"MB", "html"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(BM_OpenOneLineCancelled)
    ->ArgsProduct({{20, 128}, {0}})
    ->ArgNames({"MB", "html"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_KeystrokeAtEndOfOneLine)
    ->ArgsProduct({{1, 20}, {0, 1}})
    ->ArgNames({"MB", "html"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_RepaintOneLine)
    ->ArgsProduct({{1, 20}, {0, 1}})
    ->ArgNames({"MB", "html"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_ReplaceAll20MB)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"shortLines", "html"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
