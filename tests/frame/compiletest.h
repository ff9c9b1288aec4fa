#pragma once

#include "derrors.h"
#include "guitest.h"
#include "richedit.h"

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include <sys/stat.h>

namespace zj {

// A frame with compilers made of shell scripts, and its output window.
class CompileTest : public GuiTest {
protected:
    // A compiler that records its arguments, one a line, then runs body.
    std::string FakeCompiler(const std::string& name, const std::string& body)
    {
        const std::string path = Path(name);
        Put(path, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" + Path("args") + "'\n" + body + "\n");
        ::chmod(path.c_str(), 0755);
        return path;
    }

    static TRichEdit* ErrorsView() { return Child<TRichEdit>(dlgErrors, "memErrors"); }
    static std::string ErrorsText() { return std::string(ErrorsView()->Bytes()); }

    // Running, not gone and not only waiting to be collected.
    static bool ProcessAlive(long pid)
    {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            return false;
        const char state = line[line.rfind(')') + 2];
        return state != 'Z' && state != 'X';
    }

    // Whether the process is gone, given a while.
    static bool ProcessGoes(long pid)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (ProcessAlive(pid) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return !ProcessAlive(pid);
    }
};

} // namespace zj
