// The compile command: the active Java document through the configured compiler.
#include "fmain.h"

#include "application.h"
#include "cedit.h"
#include "derrors.h"
#include "dosprocess.h"
#include "filedialogs.h"
#include "msgdialogs.h"
#include "richedit.h"
#include "sysutils.h"
#include "ui_fmain.h"
#include "zidarodadefs.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zj {

namespace {

// How long the compiler runs before it may be stopped, and how long each
// look at its output may keep the windows waiting.
constexpr int StopOfferMs = 1000;
constexpr int PollMs = 15;

// The hourglass for as long as the compiler runs, whichever way that ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The compile stays modal while the windows keep painting: no command or
// edit reaches any window but the box that offers Stop.
class TCompileGuard : public QObject {
public:
    TCompileGuard() { qApp->installEventFilter(this); }
    ~TCompileGuard() override { qApp->removeEventFilter(this); }
    TCompileGuard(const TCompileGuard&) = delete;
    TCompileGuard& operator=(const TCompileGuard&) = delete;

    void Allow(QWidget* box) { box_ = box; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TabletPress:
            return !InBox(watched);
        case QEvent::Close:
            if (event->spontaneous() && !InBox(watched)) {
                event->ignore();
                return true;
            }
            return false;
        default:
            return false;
        }
    }

private:
    bool InBox(QObject* watched) const
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        return box_ && widget && (widget == box_ || box_->isAncestorOf(widget));
    }

    QPointer<QWidget> box_;
};

// "Compiling 'X.java'..." with Stop; Escape and the close box stop too.
class TdlgCompiling : public QDialog {
public:
    TdlgCompiling(QWidget* parent, const QString& name) : QDialog(parent)
    {
        setObjectName(QStringLiteral("dlgCompiling"));
        setWindowTitle(ApplicationTitle());
        setWindowModality(Qt::ApplicationModal);
        auto* label = new QLabel(QStringLiteral("Compiling '%1'...").arg(name));
        label->setObjectName(QStringLiteral("lblCompiling"));
        label->setTextFormat(Qt::PlainText);
        auto* stop = new QPushButton(QStringLiteral("Stop"));
        stop->setObjectName(QStringLiteral("cmdStop"));
        stop->setDefault(true);
        connect(stop, &QPushButton::clicked, this, &QDialog::reject);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(label);
        layout->addWidget(stop, 0, Qt::AlignHCenter);
        layout->setSizeConstraint(QLayout::SetFixedSize);
    }
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

TDosEnd TfrmMain::RunCompiler(const std::string& fileName, std::string& output)
{
    WaitCursor wait;
    // The compiler and the file as two arguments: no quoting, no splitting.
    TDosRun run(JavaCompilerPath, {fileName}, ShowCompileWindow);
    TCompileGuard guard;
    std::unique_ptr<TdlgCompiling> box;
    bool stop = false;
    QElapsedTimer clock;
    clock.start();
    while (!run.Poll(PollMs)) {
        if (!box && clock.elapsed() >= StopOfferMs) {
            box = std::make_unique<TdlgCompiling>(this, FileNameToQt(ExtractFileName(fileName)));
            connect(box.get(), &QDialog::rejected, this, [&stop] { stop = true; });
            guard.Allow(box.get());
            box->show();
        }
        QCoreApplication::processEvents();
        if (stop)
            run.Stop();
    }
    // The box had the keyboard; the frame, where the compile began, takes it back.
    if (box) {
        box.reset();
        activateWindow();
    }
    output = std::move(run.Output());
    return run.End();
}

void TfrmMain::cmdJavaClick()
{
    TcwEdit* editor = ActiveEditor();
    if (!editor || editor->memText->LineCount() == 0 || JavaCompilerPath.empty())
        return;
    if (!SaveBeforeUse(editor, QStringLiteral("'%1' has been changed. The document must be saved before it "
                                              "can be compiled.")))
        return;
    const std::string fileName = editor->FileName();
    std::string output;
    const TDosEnd end = RunCompiler(fileName, output);
    const QString name = FileNameToQt(fileName);
    if (end.Kind == TDosEnd::Stopped) {
        ui->StatusBar->showMessage(QStringLiteral("Compile of '%1' stopped.").arg(name));
        DefaultBeep();
        return;
    }
    TakeMessages(output, fileName);
    // Judged by how the compiler ended: javac writes notes on success, and a
    // compiler can fail without a word.
    if (end.Kind == TDosEnd::Exited && end.Code == 0) {
        ui->StatusBar->showMessage((output.empty() ? QStringLiteral("'%1' compiled successfully.")
                                                   : QStringLiteral("'%1' compiled with warnings."))
                                       .arg(name));
        DefaultBeep();
        if (!output.empty())
            ShowCompileOutput(output);
        return;
    }
    ui->StatusBar->showMessage(QStringLiteral("Couldn't compile '") + name + QStringLiteral("'."));
    DefaultBeep();
    if (output.empty())
        output = (end.Kind == TDosEnd::Signalled ? QStringLiteral("The compiler was ended by signal %1.")
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

} // namespace zj
