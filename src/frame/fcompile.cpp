// The compile command: the active Java document through the configured
// compiler, in the background.
#include "fmain.h"

#include "application.h"
#include "cedit.h"
#include "derrors.h"
#include "filedialogs.h"
#include "jobwatch.h"
#include "messagelist.h"
#include "msgdialogs.h"
#include "richedit.h"
#include "sysutils.h"
#include "ui_fmain.h"
#include "zidarodadefs.h"

#include <filesystem>

namespace zj {

namespace {

// What a compile keeps of its output; the rest is read and let go.
constexpr std::size_t MaxCompileOutput = 16u << 20;

// A name the compiler wrote, made full: it ran in the editor's folder, so
// that comes first, then the compiled file's folder.
std::string FullMessageFile(const std::string& named, const std::string& compiled)
{
    const std::filesystem::path path(named);
    if (path.is_absolute())
        return named;
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (!error && FileExists((current / path).string()))
        return (current / path).string();
    return ExtractFilePath(compiled) + named;
}

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
    if (!editor || editor->memText->LineCount() == 0 || JavaCompilerPath.empty() || compile_)
        return;
    if (!SaveBeforeUse(editor, QStringLiteral("'%1' has been changed. The document must be saved before it "
                                              "can be compiled.")))
        return;
    StartCompile(editor->FileName());
}

void TfrmMain::StartCompile(const std::string& fileName)
{
    TJobOptions options;
    options.Visible = ShowCompileWindow;
    options.Echo = true;
    options.Keep = TJobOptions::KeepFirst;
    options.Limit = MaxCompileOutput;
    auto messages = std::make_shared<TMessageList>(
        TMessageList::TSource::Compiler, [fileName](const std::string& named) { return FullMessageFile(named, fileName); });
    compileOutput_.clear();
    // The compiler and the file as two arguments: no quoting, no splitting.
    compile_ = std::make_unique<TJobWatch>(
        JavaCompilerPath, std::vector<std::string>{fileName}, options, messages,
        TJobWatch::THandlers{[this](const TJobPiece& piece) { compileOutput_ += piece.Bytes; },
                             Guarded([this, fileName](const TJobEnd& end) { CompileEnded(fileName, end); })});
    ui->StatusBar->showMessage(QStringLiteral("Compiling '%1'...").arg(FileNameToQt(fileName)));
    UpdateMenuItems();
}

void TfrmMain::CompileEnded(const std::string& fileName, const TJobEnd& end)
{
    // Gone once the events of its end are over.
    TJobWatch* watch = compile_.release();
    watch->deleteLater();
    std::optional<TRunRequest> run = std::move(runAfterCompile_);
    runAfterCompile_.reset();
    std::string output = std::move(compileOutput_);
    compileOutput_.clear();
    UpdateMenuItems();
    const QString name = FileNameToQt(fileName);
    if (end.Kind == TJobEnd::Stopped) {
        ui->StatusBar->showMessage(QStringLiteral("Compile of '%1' stopped.").arg(name));
        DefaultBeep();
        return;
    }
    errorsMessages_ = watch->Messages();
    TakeMessages(watch->Messages(), fileName, -1);
    if (const std::uint64_t dropped = watch->Job().Dropped())
        output += QStringLiteral("\n[The compiler wrote %1 bytes more; only its first 16 MB are shown.]\n")
                      .arg(dropped)
                      .toStdString();
    // Judged by how the compiler ended: javac writes notes on success, and a
    // compiler can fail without a word.
    if (end.Kind == TJobEnd::Exited && end.Code == 0) {
        const QString status = (output.empty() ? QStringLiteral("'%1' compiled successfully.")
                                               : QStringLiteral("'%1' compiled with warnings."))
                                   .arg(name);
        ui->StatusBar->showMessage(status);
        DefaultBeep();
        if (!output.empty())
            ShowCompileOutput(output);
        // Old errors left in view read as a compile that still fails.
        else if (dlgErrors && dlgErrors->isVisible())
            dlgErrors->SetOutput(status.toStdString());
        if (run)
            StartRun(run->Program, run->Launcher);
        return;
    }
    ui->StatusBar->showMessage(QStringLiteral("Couldn't compile '") + name + QStringLiteral("'."));
    DefaultBeep();
    if (output.empty())
        output = (end.Kind == TJobEnd::Signalled ? QStringLiteral("The compiler was ended by signal %1.")
                                                 : QStringLiteral("The compiler ended with exit code %1."))
                     .arg(end.Code)
                     .toStdString();
    ShowCompileOutput(output);
}

void TfrmMain::ShowCompileOutput(std::string_view output)
{
    if (errorsConnected_ != dlgErrors) {
        connect(dlgErrors, &TdlgErrors::LineChosen, this,
                Guarded([this](int outputLine) { dlgErrorsLineChosen(outputLine); }));
        errorsConnected_ = dlgErrors;
    }
    dlgErrors->ShowOutput(output);
}

void TfrmMain::cmdStopClick()
{
    if (compile_)
        compile_->Job().Stop();
    if (run_)
        run_->Job().Stop();
}

} // namespace zj
