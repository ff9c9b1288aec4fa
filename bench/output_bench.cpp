// Showing 50 MB of compiler output in the output window: as one line and as
// a million lines. Besides the time, the peak memory the showing takes on
// top of the output itself, in multiples of the output's size.
#include "benchutil.h"
#include "derrors.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

using namespace zj;
using namespace zj::bench;

namespace {

constexpr std::size_t OutputSize = 50u << 20;

std::string OneLine()
{
    return std::string(OutputSize, 'x');
}

std::string MillionLines()
{
    std::string output;
    output.reserve(OutputSize + 64);
    for (int i = 0; output.size() < OutputSize; ++i)
        output += "Sample.java:" + std::to_string(i % 99999 + 1) + ": error: cannot find symbol here\n";
    return output;
}

void ShowOutput(benchmark::State& state, const std::string& output)
{
    double extra = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto window = std::make_unique<TdlgErrors>();
        QApplication::processEvents();
        const long before = KiB("VmRSS:");
        ResetPeak();
        state.ResumeTiming();
        window->ShowOutput(output);
        QApplication::processEvents();
        window->repaint();
        state.PauseTiming();
        extra = static_cast<double>(KiB("VmHWM:") - before) * 1024.0 / static_cast<double>(output.size());
        window.reset();
        state.ResumeTiming();
    }
    state.counters["lines"] = static_cast<double>(std::count(output.begin(), output.end(), '\n') + 1);
    // The output itself is one more.
    state.counters["peak_x_output"] = extra + 1;
}

void BM_ShowOutput50MBOneLine(benchmark::State& state)
{
    ShowOutput(state, OneLine());
}

void BM_ShowOutput50MBMillionLines(benchmark::State& state)
{
    ShowOutput(state, MillionLines());
}

} // namespace

BENCHMARK(BM_ShowOutput50MBOneLine)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ShowOutput50MBMillionLines)->Unit(benchmark::kMillisecond)->Iterations(3);
