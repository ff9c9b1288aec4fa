#pragma once

#include "derrors.h"
#include "fmain.h"
#include "guitest.h"
#include "processes.h"
#include "richedit.h"

#include <QElapsedTimer>
#include <QTest>

#include <string>

#include <sys/stat.h>

namespace zj {

using test::ProcessAlive;
using test::ProcessGoes;

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

    // Lets the compile and the program that run end, with the windows alive.
    void WaitForJobs(int seconds = 60)
    {
        QElapsedTimer clock;
        clock.start();
        while ((frame->Compiling() || frame->ProgramRunning()) && clock.elapsed() < seconds * 1000)
            QTest::qWait(5);
        Settle();
    }
    // F9's handler, then the compile's end.
    void CompileAndWait()
    {
        frame->cmdJavaClick();
        WaitForJobs();
    }

    static TRichEdit* ErrorsView() { return Child<TRichEdit>(dlgErrors, "memErrors"); }
    static std::string ErrorsText() { return std::string(ErrorsView()->Bytes()); }
};

} // namespace zj
