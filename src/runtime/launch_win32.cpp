#include "launch.h"

#include "format.h"
#include "process.h"

#include <windows.h>

namespace zj {

bool StartBrowserProcess(std::string_view command, const std::string& fileName)
{
    std::wstring commandLine = CommandLineToWide(Format(command, fileName));
    commandLine.push_back(L'\0'); // CreateProcessW may write into its command line
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                          nullptr, &startup, &process))
        return false;
    ::WaitForInputIdle(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

} // namespace zj
