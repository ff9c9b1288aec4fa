// Load, save, typing and far jumps in a large Java file through a real editor
// window, each with the Java colours (a .java file) and without (the same
// bytes as .txt); beside the load's time, the peak resident size of the same
// load.
#include "benchutil.h"
#include "cedit.h"
#include "crecovery.h"
#include "fmain.h"
#include "recovery.h"
#include "richedit.h"
#include "zidarodadefs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

using namespace zj;

namespace {

constexpr std::size_t FileSize = 50u << 20;

// A Java-like text of about size bytes with the given line break.
std::string JavaText(const char* lineBreak, std::size_t size = FileSize)
{
    const std::string lines[] = {
        "public class Sample extends Base implements Runnable {",
        "    private final int count = 42; // a class field",
        "    public void run() { System.out.println(\"class \" + count); }",
        "}",
        "",
    };
    std::string text;
    text.reserve(size + 256);
    for (std::size_t i = 0; text.size() < size; ++i)
        text.append(lines[i % 5]).append(lineBreak);
    return text;
}

std::string WriteSample(const char* name, const char* lineBreak, std::size_t size = FileSize)
{
    auto path = std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + name);
    std::ofstream(path, std::ios::binary) << JavaText(lineBreak, size);
    zj::bench::MakeOld(path);
    return path.string();
}

// The resident size in kilobytes of a process that only opens the file:
// before the load and at its peak (loadpeak).
struct TPeak {
    long Empty = -1;
    long Peak = -1;
};

TPeak LoadPeak(const std::string& path)
{
    TPeak peak;
    const std::string command = std::string(LOAD_PEAK) + " '" + path + "'";
    if (FILE* child = ::popen(command.c_str(), "r")) {
        if (std::fscanf(child, "%ld %ld", &peak.Empty, &peak.Peak) != 2)
            peak = {};
        ::pclose(child);
    }
    return peak;
}

struct Fixture {
    Fixture() : frame(std::make_unique<TfrmMain>()) {}
    std::unique_ptr<TfrmMain> frame;
};

// The load as the Open command runs it, the first page painted. The counters
// are the peak of the same load alone in a process: the empty program, the
// peak, and the peak above the empty program in file sizes.
void LoadFile(benchmark::State& state, const char* lineBreak, const char* name = "_load.java")
{
    Fixture fixture;
    fixture.frame->show();
    const std::string path = WriteSample(name, lineBreak, static_cast<std::size_t>(state.range(0)) << 20);
    for (auto _ : state) {
        // Opened as Open does: a visible child window of the frame.
        TcwEdit* editor = fixture.frame->OpenFile(path);
        QApplication::processEvents();
        editor->memText->repaint();
        benchmark::DoNotOptimize(editor->memText->Length());
        state.PauseTiming();
        delete editor;
        state.ResumeTiming();
    }
    const double fileMB = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
    state.SetBytesProcessed(static_cast<int64_t>(static_cast<double>(state.iterations()) * fileMB * (1 << 20)));
    const TPeak peak = LoadPeak(path);
    if (peak.Peak < 0)
        state.SkipWithError("loadpeak failed");
    state.counters["empty_MB"] = static_cast<double>(peak.Empty) / 1024;
    state.counters["peak_MB"] = static_cast<double>(peak.Peak) / 1024;
    state.counters["x_file"] = static_cast<double>(peak.Peak - peak.Empty) / 1024 / fileMB;
    std::filesystem::remove(path);
}

void BM_LoadFileCrLf(benchmark::State& state) { LoadFile(state, "\r\n"); }
void BM_LoadFileLf(benchmark::State& state) { LoadFile(state, "\n"); }
void BM_LoadFileCrLfPlain(benchmark::State& state) { LoadFile(state, "\r\n", "_load.txt"); }

void Save(benchmark::State& state, const char* name)
{
    Fixture fixture;
    const std::string path = WriteSample(name, "\n");
    TcwEdit* editor = fixture.frame->OpenFile(path);
    for (auto _ : state)
        editor->Save();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * std::filesystem::file_size(path)));
    delete editor;
    std::filesystem::remove(path);
}

void BM_Save(benchmark::State& state) { Save(state, "_save.java"); }
void BM_SavePlain(benchmark::State& state) { Save(state, "_save.txt"); }

// A character typed at the caret and everything it makes the window do.
[[gnu::noinline]] void TypeOneKey(TcwEdit* editor)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(editor->memText, &press);
    QApplication::processEvents();
}

[[gnu::noinline]] void SaveByKey(TcwEdit* editor)
{
    QTest::keyClick(editor->memText, Qt::Key_S, Qt::ControlModifier);
    QApplication::processEvents();
    editor->memText->repaint();
}

// As the user saves: one change, then Ctrl+S through the frame's shortcut,
// timed until the file is on disk and the window has done what follows a
// save (caption, command state, repaint).
void SaveAfterOneChange(benchmark::State& state, const char* name)
{
    Fixture fixture;
    fixture.frame->show();
    const std::string path = WriteSample(name, "\r\n");
    TcwEdit* editor = fixture.frame->OpenFile(path);
    editor->memText->setFocus();
    // At a line's start, so that the break stays CR LF.
    const long middle = editor->memText->LineCount() / 2;
    editor->memText->SetSel(
        static_cast<int>(editor->memText->SendScintilla(TRichEdit::SCI_POSITIONFROMLINE, middle)), 0);
    QApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        TypeOneKey(editor);
        state.ResumeTiming();
        SaveByKey(editor);
        if (editor->memText->Modified())
            state.SkipWithError("not saved");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * std::filesystem::file_size(path)));
    delete editor;
    std::filesystem::remove(path);
}

void BM_SaveAfterOneChange(benchmark::State& state) { SaveAfterOneChange(state, "_usersave.java"); }
void BM_SaveAfterOneChangePlain(benchmark::State& state) { SaveAfterOneChange(state, "_usersave.txt"); }

// One keystroke in a 50 MB document: the character typed, the command state
// run by its caret move and the repainting. Each on the next line down, as
// a user types through the text, so no line grows without end.
void Keystroke(benchmark::State& state, const char* name, bool lineNumbers = true)
{
    Fixture fixture;
    fixture.frame->show();
    const std::string path = WriteSample(name, "\r\n");
    TcwEdit* editor = fixture.frame->OpenFile(path);
    editor->memText->SetLineNumbers(lineNumbers);
    editor->memText->SetSel(editor->memText->Length() / 2, 0);
    QApplication::processEvents();
    for (auto _ : state) {
        TypeOneKey(editor);
        state.PauseTiming();
        editor->memText->SendScintilla(TRichEdit::SCI_LINEDOWN);
        QApplication::processEvents();
        state.ResumeTiming();
    }
    delete editor;
    std::filesystem::remove(path);
}

void BM_KeystrokeIn50MB(benchmark::State& state) { Keystroke(state, "_keys.java"); }
void BM_KeystrokeIn50MBPlain(benchmark::State& state) { Keystroke(state, "_keys.txt"); }
// Without line numbers: the figure from before they came.
void BM_KeystrokeIn50MBWithoutLineNumbers(benchmark::State& state) { Keystroke(state, "_keys.java", false); }

// From the top of a freshly loaded 50 MB document to its end and back, each
// page painted: with colours, the first trip styles the whole text.
void ScrollToEndAndBack(benchmark::State& state, const char* name)
{
    Fixture fixture;
    fixture.frame->show();
    const std::string path = WriteSample(name, "\r\n");
    for (auto _ : state) {
        state.PauseTiming();
        TcwEdit* editor = fixture.frame->OpenFile(path);
        QApplication::processEvents();
        state.ResumeTiming();
        for (unsigned int key : {TRichEdit::SCI_DOCUMENTEND, TRichEdit::SCI_DOCUMENTSTART}) {
            editor->memText->SendScintilla(key);
            QApplication::processEvents();
            editor->memText->repaint();
        }
        state.PauseTiming();
        delete editor;
        state.ResumeTiming();
    }
    std::filesystem::remove(path);
}

void BM_ScrollToEndAndBack(benchmark::State& state) { ScrollToEndAndBack(state, "_scroll.java"); }
void BM_ScrollToEndAndBackPlain(benchmark::State& state) { ScrollToEndAndBack(state, "_scroll.txt"); }

// Runs the event loop for ms milliseconds, as while the user reads: idle
// work gets its turns.
void RunEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

[[gnu::noinline]] void JumpToEnd(TcwEdit* editor)
{
    QTest::keyClick(editor->memText, Qt::Key_End, Qt::ControlModifier);
    editor->memText->repaint();
}

// Ctrl+End in a freshly opened 50 MB file, at once or range(0) ms after the
// first page was painted; timed from the key to the last page painted.
// styled_pct: how much of the text was coloured when the key came.
void FarJumpAfterOpen(benchmark::State& state, const char* name)
{
    Fixture fixture;
    fixture.frame->show();
    const std::string path = WriteSample(name, "\r\n");
    double styled = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TcwEdit* editor = fixture.frame->OpenFile(path);
        QApplication::processEvents();
        editor->memText->repaint();
        if (state.range(0) > 0)
            RunEventLoop(static_cast<int>(state.range(0)));
        styled += static_cast<double>(editor->memText->SendScintilla(TRichEdit::SCI_GETENDSTYLED))
                  / editor->memText->Length();
        state.ResumeTiming();
        JumpToEnd(editor);
        state.PauseTiming();
        delete editor;
        state.ResumeTiming();
    }
    state.counters["styled_pct"] = 100 * styled / static_cast<double>(state.iterations());
    std::filesystem::remove(path);
}

void BM_FarJumpAfterOpen(benchmark::State& state) { FarJumpAfterOpen(state, "_jump.java"); }
void BM_FarJumpAfterOpenPlain(benchmark::State& state) { FarJumpAfterOpen(state, "_jump.txt"); }

// The event loop from the first page of a 50 MB Java file painted until the
// whole text is coloured (at most 10 s). A timer asks for a turn every
// millisecond, as a key or a paint would: hold_ms is the longest any of its
// turns waited, styled_pct what was coloured at the end.
void BM_IdleAfterOpen(benchmark::State& state)
{
    Fixture fixture;
    fixture.frame->show();
    const std::string path = WriteSample("_idle.java", "\r\n");
    double longest = 0;
    double styled = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TcwEdit* editor = fixture.frame->OpenFile(path);
        QApplication::processEvents();
        editor->memText->repaint();
        state.ResumeTiming();
        QEventLoop loop;
        QElapsedTimer since;
        QElapsedTimer total;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, static_cast<double>(since.nsecsElapsed()) / 1e6 - 1);
            since.start();
            if (editor->memText->SendScintilla(TRichEdit::SCI_GETENDSTYLED) >= editor->memText->Length()
                || total.elapsed() > 10000)
                loop.quit();
        });
        since.start();
        total.start();
        tick.start();
        loop.exec();
        styled += static_cast<double>(editor->memText->SendScintilla(TRichEdit::SCI_GETENDSTYLED))
                  / editor->memText->Length();
        state.PauseTiming();
        delete editor;
        state.ResumeTiming();
    }
    state.counters["hold_ms"] = longest;
    state.counters["styled_pct"] = 100 * styled / static_cast<double>(state.iterations());
    std::filesystem::remove(path);
}

void BM_UpdateMenuItemsIn50MB(benchmark::State& state)
{
    Fixture fixture;
    const std::string path = WriteSample("_state.java", "\r\n");
    // A compiler file that exists, so the existence test runs every time.
    JavaCompilerPath = path;
    TcwEdit* editor = fixture.frame->OpenFile(path);
    editor->memText->SetSel(1000, 10);
    for (auto _ : state)
        fixture.frame->UpdateMenuItems();
    JavaCompilerPath.clear();
    delete editor;
    std::filesystem::remove(path);
}

// Ctrl+Space in a 50 MB document: every word of the text looked at for the
// list, which then closes again.
void BM_CompleteIn50MB(benchmark::State& state)
{
    Fixture fixture;
    fixture.frame->show();
    const std::string path = WriteSample("_complete.java", "\r\n");
    TcwEdit* editor = fixture.frame->OpenFile(path);
    editor->memText->SetSel(editor->memText->Length() / 2, 0);
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, QStringLiteral("c"));
    QApplication::sendEvent(editor->memText, &typed);
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::ControlModifier, QStringLiteral(" "));
        QApplication::sendEvent(editor->memText, &press);
        QApplication::processEvents();
        state.PauseTiming();
        if (!editor->memText->SendScintilla(TRichEdit::SCI_AUTOCACTIVE))
            state.SkipWithError("no list");
        editor->memText->SendScintilla(TRichEdit::SCI_AUTOCCANCEL);
        state.ResumeTiming();
    }
    editor->memText->SetModified(false);
    delete editor;
    std::filesystem::remove(path);
}

// The recovery copy of a 50 MB document just typed into, its gap in the
// middle: the time the windows wait for it. Whole: the text taken out of the
// control in one go (its own block, the gap moved, then copied), as a copy
// made at once would. Sliced: the copier's way, a slice at a time between
// events; the figure is the longest event-loop turn of the copy. The write
// itself runs on the store's thread and is not counted.
void RecoveryCopy(benchmark::State& state, bool sliced)
{
    ::setenv("XDG_STATE_HOME", zj::bench::Folder().c_str(), 1);
    Fixture fixture;
    fixture.frame->show();
    const std::string path = WriteSample("_recovery.java", "\r\n");
    TcwEdit* editor = fixture.frame->OpenFile(path);
    double longest = 0;
    for (auto _ : state) {
        // The keystroke and its paint first, not counted.
        TRecoveryCopier::IdleMs = 60000;
        editor->memText->SetSel(editor->memText->Length() / 2, 0);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(editor->memText, &press);
        QApplication::processEvents();
        TRecoveryCopier::IdleMs = 0;
        editor->Recovery()->Changed();
        QElapsedTimer turn;
        double worst = 0;
        if (sliced) {
            do {
                turn.start();
                QApplication::processEvents();
                worst = std::max(worst, static_cast<double>(turn.nsecsElapsed()) / 1e9);
            } while (editor->Recovery()->Pending());
        } else {
            turn.start();
            std::string copy(editor->memText->Bytes());
            benchmark::DoNotOptimize(copy.data());
            worst = static_cast<double>(turn.nsecsElapsed()) / 1e9;
        }
        state.SetIterationTime(worst);
        longest = std::max(longest, worst);
        fixture.frame->RecoveryStore()->Wait();
    }
    state.counters["longest_ms"] = longest * 1000;
    TRecoveryCopier::IdleMs = 2000;
    editor->memText->SetModified(false);
    delete editor;
    std::filesystem::remove(path);
}

void BM_RecoveryCopyIn50MBWhole(benchmark::State& state) { RecoveryCopy(state, false); }
void BM_RecoveryCopyIn50MBSliced(benchmark::State& state) { RecoveryCopy(state, true); }

} // namespace

BENCHMARK(BM_CompleteIn50MB)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_KeystrokeIn50MB)->Unit(benchmark::kMicrosecond)->Iterations(2000);
BENCHMARK(BM_KeystrokeIn50MBPlain)->Unit(benchmark::kMicrosecond)->Iterations(2000);
BENCHMARK(BM_KeystrokeIn50MBWithoutLineNumbers)->Unit(benchmark::kMicrosecond)->Iterations(2000);
BENCHMARK(BM_UpdateMenuItemsIn50MB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadFileCrLf)->Arg(50)->Arg(200)->ArgName("MB")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadFileCrLfPlain)->Arg(50)->ArgName("MB")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadFileLf)->Arg(50)->Arg(200)->ArgName("MB")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SavePlain)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SaveAfterOneChange)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SaveAfterOneChangePlain)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FarJumpAfterOpen)->Arg(0)->Arg(3000)->ArgName("wait_ms")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_FarJumpAfterOpenPlain)->Arg(0)->ArgName("wait_ms")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_IdleAfterOpen)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ScrollToEndAndBack)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ScrollToEndAndBackPlain)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_RecoveryCopyIn50MBWhole)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_RecoveryCopyIn50MBSliced)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
