// Compiles and runs through the real frame: a small class with the machine's
// javac against javac alone; a compiler that floods its output (the time to
// the outcome and the memory the editor takes on top); Stop during an
// endless flood (how long until it is answered, and the longest the windows
// waited meanwhile); a program printing a million short lines into the
// console against the same program into a pipe that cat reads, with the
// slowest keystroke in an editor window meanwhile.
#include "benchutil.h"
#include "cedit.h"
#include "derrors.h"
#include "fmain.h"
#include "msgdialogs.h"
#include "zidarodadefs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace zj;
using namespace zj::bench;
namespace fs = std::filesystem;

namespace {

int Run(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// A frame and its output window, questions answered, beeps silent.
class TFrame {
public:
    TFrame()
    {
        MessageHook = [](const TMessageRequest&) { return mrOk; };
        BeepHook = [] {};
        frame_ = std::make_unique<TfrmMain>();
        errors_ = std::make_unique<TdlgErrors>();
        dlgErrors = errors_.get();
        frame_->show();
        QApplication::processEvents();
    }
    ~TFrame()
    {
        frame_.reset();
        dlgErrors = nullptr;
        errors_.reset();
    }
    TFrame(const TFrame&) = delete;
    TFrame& operator=(const TFrame&) = delete;

    TfrmMain& operator*() { return *frame_; }
    TfrmMain* operator->() { return frame_.get(); }
    QString Status() const { return frame_->findChild<QStatusBar*>("StatusBar")->currentMessage(); }

    // Processes events until the status ends with one of the texts, waiting
    // for them rather than spinning beside the compiler.
    void WaitForStatus(std::initializer_list<const char*> endings)
    {
        QTimer tick;
        tick.start(50);
        for (;;) {
            for (const char* ending : endings)
                if (Status().endsWith(QLatin1String(ending)))
                    return;
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }

private:
    std::unique_ptr<TfrmMain> frame_;
    std::unique_ptr<TdlgErrors> errors_;
};

// The longest the event loop was away while f ran.
class TGapWatch {
public:
    TGapWatch()
    {
        clock_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, clock_.restart());
        });
        timer_.start(5);
    }
    double LongestMs() const { return static_cast<double>(longest_); }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
};

void BM_CompileSmallClassUntilTheStatusShows(benchmark::State& state)
{
    if (!fs::exists("/usr/bin/javac")) {
        state.SkipWithError("no javac");
        return;
    }
    const std::string source = (Folder() / "Small.java").string();
    std::ofstream(source) << "public class Small { public static void main(String[] a) { System.out.println(1); } }\n";
    TFrame frame;
    JavaCompilerPath = "/usr/bin/javac";
    frame->OpenFile(source);
    QApplication::processEvents();
    for (auto _ : state) {
        frame->findChild<QStatusBar*>("StatusBar")->clearMessage();
        TQuietStdout quiet;
        frame->cmdJavaClick();
        frame.WaitForStatus({"compiled successfully."});
    }
}

void BM_BareJavacOnTheSameClass(benchmark::State& state)
{
    if (!fs::exists("/usr/bin/javac")) {
        state.SkipWithError("no javac");
        return;
    }
    const std::string source = (Folder() / "Small.java").string();
    std::ofstream(source) << "public class Small { public static void main(String[] a) { System.out.println(1); } }\n";
    for (auto _ : state)
        benchmark::DoNotOptimize(Run({"/usr/bin/javac", source}));
}

void BM_CompilerFlooding256MB(benchmark::State& state)
{
    const std::string source = (Folder() / "Flood.java").string();
    std::ofstream(source) << "class Flood {}\n";
    long extra = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TFrame frame;
        JavaCompilerPath = Script("flood-javac", "head -c 268435456 /dev/zero | tr '\\0' x; exit 1");
        frame->OpenFile(source);
        QApplication::processEvents();
        const long before = KiB("VmRSS:");
        ResetPeak();
        state.ResumeTiming();
        TQuietStdout quiet;
        frame->cmdJavaClick();
        frame.WaitForStatus({"Flood.java'."});
        state.PauseTiming();
        extra = KiB("VmHWM:") - before;
        state.ResumeTiming();
    }
    state.counters["peak_extra_MB"] = static_cast<double>(extra) / 1024.0;
}

void BM_StopDuringAnEndlessFlood(benchmark::State& state)
{
    const std::string source = (Folder() / "Endless.java").string();
    std::ofstream(source) << "class Endless {}\n";
    double answered = 0, longestGap = 0;
    for (auto _ : state) {
        TFrame frame;
        JavaCompilerPath = Script("endless-javac", "exec cat /dev/zero");
        frame->OpenFile(source);
        QApplication::processEvents();
        TGapWatch gaps;
        QElapsedTimer clock;
        // After a moment: the toolbar's Stop, or the Stop of a box that offers it.
        QTimer::singleShot(1500, [&] {
            clock.start();
            if (auto* stop = frame->findChild<QToolButton*>("cmdStop")) {
                stop->click();
                return;
            }
            for (QWidget* window : QApplication::topLevelWidgets())
                if (auto* stop = window->findChild<QAbstractButton*>("cmdStop"))
                    stop->click();
        });
        TQuietStdout quiet;
        frame->cmdJavaClick();
        frame.WaitForStatus({"stopped."});
        answered = static_cast<double>(clock.elapsed());
        longestGap = gaps.LongestMs();
    }
    state.counters["stop_answered_ms"] = answered;
    state.counters["longest_wait_ms"] = longestGap;
}

} // namespace

BENCHMARK(BM_CompileSmallClassUntilTheStatusShows)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_BareJavacOnTheSameClass)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_CompilerFlooding256MB)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_StopDuringAnEndlessFlood)->Unit(benchmark::kMillisecond)->Iterations(2);
