// The browser command: the active document in the browser registered for .html files.
#include "fmain.h"

#include "cedit.h"
#include "cmdline.h"
#include "exceptions.h"
#include "format.h"
#include "launch.h"
#include "msgdialogs.h"
#include "registry.h"
#include "richedit.h"
#include "sysutils.h"
#include "ui_fmain.h"
#include "zidarodadefs.h"

namespace zj {

namespace {

// The Windows file lookup ignores trailing blanks, so the blank that a quoted
// "%1" leaves at the end of the program's path does not hide the program.
bool ProgramExists(std::string name)
{
#ifndef _WIN32
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
#endif
    return FileExists(name);
}

// The program that the command starts: its first word by the Windows rules,
// quotes removed, once the file's place is filled; empty when it cannot be.
std::string CommandProgram(const std::string& command)
{
    try {
        const std::vector<std::string> words = SplitCommandLine(Format(command, ""));
        return words.empty() ? std::string() : words.front();
    } catch (const EConvertError&) {
        return {};
    }
}

} // namespace

bool TfrmMain::FindBrowser()
{
    browserTakesFile_ = false;
    TRegistry registry(HKEY_CLASSES_ROOT);
    if (!registry.OpenKey(".html", false))
        return false;
    const std::string className = registry.ReadString("");
    if (className.empty())
        return false;
    registry.CloseKey();
    if (!registry.OpenKey(className, false) || !registry.OpenKey("shell", false) || !registry.OpenKey("open", false))
        return false;
    const bool commandRead = registry.OpenKey("command", false);
    if (commandRead)
        BrowserCommand = registry.ReadString("");
    if (BrowserCommand.empty())
        return false;
    const std::size_t placeholder = BrowserCommand.find("%1");
    if (placeholder != std::string::npos)
        BrowserCommand[placeholder + 1] = 's';
    browserTakesFile_ = commandRead && placeholder != std::string::npos;
    // Everything before the placeholder but the blank that separates it. Most
    // associations put options or quotes in between: then the program is the
    // command's first word.
    BrowserExe = placeholder != std::string::npos && placeholder >= 2 ? BrowserCommand.substr(0, placeholder - 1)
                                                                       : std::string();
    if (!ProgramExists(BrowserExe))
        BrowserExe = placeholder != std::string::npos ? CommandProgram(BrowserCommand) : std::string();
    if (!ProgramExists(BrowserExe))
        BrowserExe.clear();
    return true;
}

void TfrmMain::cmdBrowserClick()
{
    TcwEdit* editor = ActiveEditor();
    if (!editor || editor->memText->LineCount() == 0 || !FindBrowser())
        return;
    // A command without a place for the file (or one kept from an earlier
    // lookup, when the command key has gone since) would not show the document.
    if (browserTakesFile_) {
        if (!SaveBeforeUse(editor, QStringLiteral("'%1' has been changed. The document must be saved before it "
                                                  "can be loaded into your browser.")))
            return;
        if (StartBrowserProcess(BrowserCommand, editor->FileName()))
            return;
    }
    ui->StatusBar->showMessage(QStringLiteral("Couldn't start web browser."));
    DefaultBeep();
}

} // namespace zj
