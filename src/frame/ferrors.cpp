// From the messages of a compile or a run to their lines: marks in the text,
// the lines of the output window and the console, Next and Previous Error,
// and Go to Line.
#include "fmain.h"

#include "cedit.h"
#include "console.h"
#include "derrors.h"
#include "filedialogs.h"
#include "messagelist.h"
#include "msgdialogs.h"
#include "richedit.h"
#include "sysutils.h"
#include "ui_fmain.h"

#include <algorithm>
#include <map>
#include <set>

namespace zj {

namespace {

QString KindWord(TMessageKind kind)
{
    switch (kind) {
    case TMessageKind::Error:
        return QStringLiteral("error");
    case TMessageKind::Warning:
        return QStringLiteral("warning");
    case TMessageKind::Note:
        break;
    }
    return QStringLiteral("note");
}

} // namespace

const std::vector<TCompilerMessage>& TfrmMain::CompileMessages() const
{
    return messages_->Messages();
}

void TfrmMain::TakeMessages(std::shared_ptr<TMessageList> messages, const std::string& compiledFile, int marked)
{
    messages_ = std::move(messages);
    markedMessage_ = marked;
    messagesLocated_ = messages_->AnyLocated();
    std::set<std::string> named;
    for (const TCompilerMessage& message : messages_->Messages())
        if (message.Located())
            named.insert(message.File);
    // A compiled file's marks go; so do those of every file with new ones.
    for (TcwEdit* editor : EditorWindows()) {
        if (editor->FileName().empty())
            continue;
        const bool hasNew = std::any_of(named.begin(), named.end(),
                                        [&](const std::string& file) { return SameFile(file, editor->FileName()); });
        if (hasNew || (!compiledFile.empty() && SameFile(editor->FileName(), compiledFile)))
            editor->memText->ClearMarks();
        if (hasNew)
            MarkEditor(editor);
    }
    UpdateMenuItems();
}

void TfrmMain::MarkEditor(TcwEdit* editor)
{
    const std::vector<TCompilerMessage>& messages = messages_->Messages();
    const bool program = messages_->Source() == TMessageList::TSource::Program;
    std::map<std::string, bool> same;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const TCompilerMessage& message = messages[i];
        if (!message.Located() || (markedMessage_ >= 0 && static_cast<int>(i) != markedMessage_))
            continue;
        auto known = same.find(message.File);
        if (known == same.end())
            known = same.emplace(message.File, SameFile(message.File, editor->FileName())).first;
        if (known->second)
            editor->memText->AddMark(message.Line - 1, message.Column, message.Kind,
                                     program ? QString::fromStdString(message.Text)
                                             : KindWord(message.Kind) + QStringLiteral(": ")
                                                   + QString::fromStdString(message.Text));
    }
}

bool TfrmMain::GoToMessage(int index)
{
    return GoToMessage(*messages_, index);
}

bool TfrmMain::GoToMessage(TMessageList& messages, int index)
{
    if (index < 0 || index >= static_cast<int>(messages.Messages().size()) || !messages.Messages()[index].Located())
        return false;
    // A copy: opening a window may run code that reads the messages again.
    const TCompilerMessage message = messages.Messages()[index];
    // An open window is taken as it stands, modified or not.
    TcwEdit* editor = FindEditor(message.File);
    if (!editor) {
        // A folder, a device or a FIFO is no file to show.
        if (!IsRegularFile(message.File))
            return false;
        editor = OpenFile(message.File);
        // Not opened at the user's word: the next jump goes on from here.
        if (!editor) {
            messages.SetCurrent(index);
            return true;
        }
        MarkEditor(editor);
    } else {
        if (editor->isMinimized())
            editor->showNormal();
        ui->ClientArea->setActiveSubWindow(editor);
    }
    messages.SetCurrent(index);
    activateWindow();
    editor->memText->setFocus();
    editor->memText->GoToLineColumn(message.Line - 1, message.Column);
    KeepClearOfErrors(editor);
    if (&messages == errorsMessages_.get() && dlgErrors && dlgErrors->isVisible())
        dlgErrors->ShowLine(message.FirstLine);
    if (&messages == consoleMessages_.get() && pnlConsole->isVisible())
        memConsole->ShowLine(message.FirstLine);
    return true;
}

void TfrmMain::dlgErrorsLineChosen(int outputLine)
{
    if (errorsMessages_)
        GoToMessage(*errorsMessages_, errorsMessages_->MessageAtLine(outputLine));
}

void TfrmMain::memConsoleLineChosen(int outputLine)
{
    if (consoleMessages_)
        GoToMessage(*consoleMessages_, consoleMessages_->MessageAtLine(outputLine));
}

void TfrmMain::mnuSearchNextErrorClick()
{
    // Round the list, past what cannot be followed.
    messages_->Step(1, [this](int index) { return GoToMessage(*messages_, index); });
}

void TfrmMain::mnuSearchPreviousErrorClick()
{
    messages_->Step(-1, [this](int index) { return GoToMessage(*messages_, index); });
}

void TfrmMain::mnuSearchGoToLineClick()
{
    TcwEdit* editor = ActiveEditor();
    if (!editor || editor->memText->LineCount() == 0)
        return;
    // Every line the margin numbers, the empty one after a final break too.
    const int lines = editor->memText->ShownLineCount();
    const std::optional<int> line =
        InputNumber(QStringLiteral("Go to Line"), QStringLiteral("Line number (1-%1):").arg(lines),
                    std::min(editor->memText->CaretLine() + 1, lines), 1, lines);
    if (!line)
        return;
    editor->memText->setFocus();
    editor->memText->GoToLine(*line - 1);
    KeepClearOfErrors(editor);
}

} // namespace zj
