// A program printing a million short lines, a line a write, into the
// console, against the same program into a pipe that cat reads; and the
// slowest keystroke in an editor window while the lines arrive.
#include "benchutil.h"
#include "cedit.h"
#include "derrors.h"
#include "fmain.h"
#include "msgdialogs.h"
#include "richedit.h"
#include "zidarodadefs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using namespace zj;
using namespace zj::bench;
namespace fs = std::filesystem;

namespace {

constexpr const char* Lines = "1000000";

// Posts a key to an editor's text every few milliseconds and keeps the
// longest it took to be handled.
class TKeyProbe : public QObject {
public:
    explicit TKeyProbe(QWidget* target) : target_(target)
    {
        target_->installEventFilter(this);
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (waiting_)
                return;
            waiting_ = true;
            posted_.start();
            QCoreApplication::postEvent(target_, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
        });
        timer_.start(20);
    }
    double LongestMs() const { return longest_ / 1e6; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == target_ && event->type() == QEvent::KeyPress && waiting_) {
            longest_ = std::max(longest_, static_cast<double>(posted_.nsecsElapsed()));
            waiting_ = false;
        }
        return false;
    }

private:
    QWidget* target_;
    QTimer timer_;
    QElapsedTimer posted_;
    bool waiting_ = false;
    double longest_ = 0;
};

void BM_MillionLinesIntoTheConsole(benchmark::State& state)
{
    MessageHook = [](const TMessageRequest&) { return mrOk; };
    BeepHook = [] {};
    auto frame = std::make_unique<TfrmMain>();
    auto errors = std::make_unique<TdlgErrors>();
    dlgErrors = errors.get();
    frame->show();
    JavaCompilerPath = Script("javac", "exit 0");
    Script("java", std::string("exec '") + RUNNER_CHILD + "' lines " + Lines);
    const std::string source = (Folder() / "Lines.java").string();
    std::ofstream(source) << "class Lines {}\n";
    // Compiled already: the run starts at once.
    std::ofstream((Folder() / "Lines.class").string()) << "";
    TcwEdit* typing = frame->OpenFile((Folder() / "Typing.txt").string());
    frame->OpenFile(source);
    QApplication::processEvents();
    double longest = 0;
    for (auto _ : state) {
        TKeyProbe probe(typing->memText);
        frame->cmdRunClick();
        while (frame->ProgramRunning())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        longest = probe.LongestMs();
    }
    state.counters["slowest_key_ms"] = longest;
    frame.reset();
    dlgErrors = nullptr;
}

void BM_MillionLinesIntoCat(benchmark::State& state)
{
    const std::string command = std::string("'") + RUNNER_CHILD + "' lines " + Lines + " | cat > /dev/null";
    for (auto _ : state)
        benchmark::DoNotOptimize(std::system(command.c_str()));
}

} // namespace

BENCHMARK(BM_MillionLinesIntoTheConsole)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MillionLinesIntoCat)->Unit(benchmark::kMillisecond)->Iterations(3);
