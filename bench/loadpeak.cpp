// Opens one file as the Open command does, in a program that does nothing
// else, and prints the resident size in kilobytes before the load (the
// program with its empty frame) and at its peak (the load and the first
// paint). editor_bench runs it once per measurement, so that nothing the
// benchmarks hold is counted.
#include "application.h"
#include "cedit.h"
#include "fmain.h"
#include "richedit.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// A field of /proc/self/status in kilobytes, or -1.
long StatusKilobytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, field.size() + 1, field + ":") == 0)
            return std::atol(line.c_str() + field.size() + 1);
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s file\n", argv[0]);
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    zj::TApplication application(argc, argv);
    zj::TfrmMain frame;
    frame.show();
    QApplication::processEvents();
    const long empty = StatusKilobytes("VmHWM");
    zj::TcwEdit* editor = frame.OpenFile(argv[1]);
    QApplication::processEvents();
    editor->memText->repaint();
    std::printf("%ld %ld %d\n", empty, StatusKilobytes("VmHWM"), editor->memText->Length());
    return 0;
}
