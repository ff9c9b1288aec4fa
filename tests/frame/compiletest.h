#pragma once

#include "derrors.h"
#include "guitest.h"
#include "processes.h"
#include "richedit.h"

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

    static TRichEdit* ErrorsView() { return Child<TRichEdit>(dlgErrors, "memErrors"); }
    static std::string ErrorsText() { return std::string(ErrorsView()->Bytes()); }
};

} // namespace zj
