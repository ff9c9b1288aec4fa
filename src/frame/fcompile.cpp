// The compile command: the active Java document through the configured compiler.
#include "fmain.h"

#include "cedit.h"
#include "cmdline.h"
#include "derrors.h"
#include "dosprocess.h"
#include "filedialogs.h"
#include "msgdialogs.h"
#include "richedit.h"
#include "ui_fmain.h"
#include "zidarodadefs.h"

#include <QApplication>

namespace zj {

namespace {

// The hourglass for as long as the compiler runs, whichever way that ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

bool TfrmMain::SaveBeforeUse(TcwEdit* editor, const QString& question)
{
    if (!editor->IsSaved()) {
        const QString name = editor->FileName().empty() ? editor->Caption() : FileNameToQt(editor->FileName());
        if (MessageDlg(question.arg(name), {TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel}) != mrOk)
            return false;
    }
    return editor->Save();
}

void TfrmMain::cmdJavaClick()
{
    TcwEdit* editor = ActiveEditor();
    if (!editor || editor->memText->LineCount() == 0 || JavaCompilerPath.empty())
        return;
    if (!SaveBeforeUse(editor, QStringLiteral("'%1' has been changed. The document must be saved before it "
                                              "can be compiled.")))
        return;
    // Quoted where they hold a blank, so such paths reach the compiler whole.
    const std::string commandLine = QuoteProgram(JavaCompilerPath) + " " + QuoteArgument(editor->FileName());
    std::string output;
    {
        WaitCursor wait;
        RunDosProcess(commandLine, ShowCompileWindow, output);
    }
    const QString fileName = FileNameToQt(editor->FileName());
    if (output.empty()) {
        ui->StatusBar->showMessage(QStringLiteral("'%1' compiled successfully.").arg(fileName));
        DefaultBeep();
        return;
    }
    ui->StatusBar->showMessage(QStringLiteral("Couldn't compile '") + fileName + QStringLiteral("'."));
    DefaultBeep();
    dlgErrors->ShowOutput(QString::fromLocal8Bit(output.data(), static_cast<qsizetype>(output.size())));
}

} // namespace zj
