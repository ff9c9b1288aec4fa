// The run command: the active Java document's program in the console.
#include "fmain.h"

#include "application.h"
#include "cedit.h"
#include "console.h"
#include "filedialogs.h"
#include "jobwatch.h"
#include "messagelist.h"
#include "msgdialogs.h"
#include "richedit.h"
#include "sysutils.h"
#include "ui_fmain.h"
#include "zidarodadefs.h"

namespace zj {

void TfrmMain::CreateConsole()
{
    pnlConsole = new QDockWidget(QStringLiteral("Console"), this);
    pnlConsole->setObjectName(QStringLiteral("pnlConsole"));
    memConsole = new TConsole(pnlConsole);
    memConsole->setObjectName(QStringLiteral("memConsole"));
    pnlConsole->setWidget(memConsole);
    addDockWidget(Qt::BottomDockWidgetArea, pnlConsole);
    // Shown by the first run.
    pnlConsole->hide();
    connect(memConsole, &TConsole::Input, this, Guarded([this](const std::string& bytes) {
                if (run_)
                    run_->Input(bytes);
            }));
    connect(memConsole, &TConsole::InputEnded, this, Guarded([this] {
                if (run_)
                    run_->Job().CloseInput();
            }));
    connect(memConsole, &TConsole::LineChosen, this, Guarded([this](int outputLine) { memConsoleLineChosen(outputLine); }));
}

void TfrmMain::cmdRunClick()
{
    TcwEdit* editor = ActiveEditor();
    if (!editor || editor->memText->LineCount() == 0 || JavaCompilerPath.empty() || compile_)
        return;
    if (run_) {
        if (MessageDlg(QStringLiteral("'%1' is still running. Stop it and run again?").arg(runName_),
                       {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo})
            != mrYes)
            return;
        // Ended here and now: its end is of no interest any more.
        run_.reset();
        memConsole->SetTakingInput(false);
        UpdateMenuItems();
    }
    // A saved document is run as it is: saving it again would make its class
    // older than its source.
    if (!editor->IsSaved()
        && !SaveBeforeUse(editor, QStringLiteral("'%1' has been changed. The document must be saved before it "
                                                 "can be run.")))
        return;
    const std::string launcher = JavaLauncher(JavaCompilerPath);
    if (launcher.empty()) {
        ui->StatusBar->showMessage(
            QStringLiteral("Couldn't find the Java launcher beside '%1'.").arg(FileNameToQt(JavaCompilerPath)));
        DefaultBeep();
        return;
    }
    const std::string fileName = editor->FileName();
    const TJavaProgram program = JavaProgramOf(fileName, editor->memText->Bytes());
    if (ClassFileOutOfDate(fileName, program.ClassFile)) {
        runAfterCompile_ = TRunRequest{program, launcher};
        StartCompile(fileName);
        return;
    }
    StartRun(program, launcher);
}

void TfrmMain::StartRun(const TJavaProgram& program, const std::string& launcher)
{
    TJobOptions options;
    options.Folder = program.Folder;
    options.KeepInput = true;
    options.Keep = TJobOptions::KeepLast;
    options.Limit = TConsole::MaxKept;
    // Frames name their files by package, under the class path root.
    const std::string root = program.ClassPath;
    auto messages = std::make_shared<TMessageList>(TMessageList::TSource::Program, [root](const std::string& named) {
        return root + PathDelimiters.front() + named;
    });
    memConsole->Clear();
    pnlConsole->show();
    pnlConsole->raise();
    run_ = std::make_unique<TJobWatch>(
        launcher, std::vector<std::string>{"-cp", program.ClassPath, program.ClassName}, options, messages,
        TJobWatch::THandlers{Guarded([this](const TJobPiece& piece) {
                                 memConsole->AppendOutput(piece.Stream, piece.Bytes);
                                 if (run_->Job().Dropped() > 0)
                                     memConsole->SayDropped();
                             }),
                             Guarded([this](const TJobEnd& end) { RunEnded(end); })});
    consoleMessages_ = messages;
    runName_ = FileNameToQt(program.ClassName);
    memConsole->SetTakingInput(true);
    // The keyboard goes to the program.
    memConsole->setFocus();
    UpdateMenuItems();
}

void TfrmMain::RunEnded(const TJobEnd& end)
{
    TJobWatch* watch = run_.release();
    watch->deleteLater();
    memConsole->SetTakingInput(false);
    UpdateMenuItems();
    QString text;
    switch (end.Kind) {
    case TJobEnd::Exited:
        text = QStringLiteral("'%1' ended with exit code %2.").arg(runName_).arg(end.Code);
        break;
    case TJobEnd::Signalled:
        text = QStringLiteral("'%1' was ended by signal %2.").arg(runName_).arg(end.Code);
        break;
    case TJobEnd::Stopped:
        text = QStringLiteral("'%1' was stopped.").arg(runName_);
        break;
    }
    memConsole->AppendNotice(text);
    ui->StatusBar->showMessage(text);
    DefaultBeep();
    // The first frame whose file is there carries the exception's mark.
    const std::vector<TCompilerMessage>& messages = watch->Messages()->Messages();
    int marked = -1;
    for (std::size_t i = 0; i < messages.size() && marked < 0; ++i)
        if (messages[i].Located() && (FindEditor(messages[i].File) || IsRegularFile(messages[i].File)))
            marked = static_cast<int>(i);
    TakeMessages(watch->Messages(), {}, marked < 0 ? static_cast<int>(messages.size()) : marked);
}

} // namespace zj
