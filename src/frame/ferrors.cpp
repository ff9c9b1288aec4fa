// From the compiler's messages to their lines: marks in the text, the output
// window's lines, Next and Previous Error, and Go to Line.
#include "fmain.h"

#include "cedit.h"
#include "derrors.h"
#include "filedialogs.h"
#include "msgdialogs.h"
#include "richedit.h"
#include "sysutils.h"
#include "ui_fmain.h"

#include <algorithm>
#include <filesystem>
#include <map>

namespace zj {

namespace {

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

void TfrmMain::TakeMessages(const std::string& output, const std::string& fileName)
{
    messages_ = ParseCompilerOutput(output);
    messageIndex_ = -1;
    messagesLocated_ = false;
    std::map<std::string, std::string> full;
    for (TCompilerMessage& message : messages_) {
        if (message.File.empty())
            continue;
        auto known = full.find(message.File);
        if (known == full.end())
            known = full.emplace(message.File, FullMessageFile(message.File, fileName)).first;
        message.File = known->second;
        messagesLocated_ = messagesLocated_ || message.Located();
    }
    // A compiled file's marks go; so do those of every file with new ones.
    for (TcwEdit* editor : EditorWindows()) {
        if (editor->FileName().empty())
            continue;
        const bool named = std::any_of(full.begin(), full.end(), [&](const auto& file) {
            return SameFile(file.second, editor->FileName());
        });
        if (named || SameFile(editor->FileName(), fileName))
            editor->memText->ClearMarks();
        if (named)
            MarkEditor(editor);
    }
    UpdateMenuItems();
}

void TfrmMain::MarkEditor(TcwEdit* editor)
{
    std::map<std::string, bool> same;
    for (const TCompilerMessage& message : messages_) {
        if (!message.Located())
            continue;
        auto known = same.find(message.File);
        if (known == same.end())
            known = same.emplace(message.File, SameFile(message.File, editor->FileName())).first;
        if (known->second)
            editor->memText->AddMark(message.Line - 1, message.Column, message.Kind,
                                     KindWord(message.Kind) + QStringLiteral(": ")
                                         + QString::fromStdString(message.Text));
    }
}

bool TfrmMain::GoToMessage(int index)
{
    if (index < 0 || index >= static_cast<int>(messages_.size()) || !messages_[index].Located())
        return false;
    const TCompilerMessage& message = messages_[index];
    // An open window is taken as it stands, modified or not.
    TcwEdit* editor = FindEditor(message.File);
    if (!editor) {
        if (!FileExists(message.File))
            return false;
        editor = OpenFile(message.File);
        // Not opened at the user's word: the next jump goes on from here.
        if (!editor) {
            messageIndex_ = index;
            return true;
        }
        MarkEditor(editor);
    } else {
        if (editor->isMinimized())
            editor->showNormal();
        ui->ClientArea->setActiveSubWindow(editor);
    }
    messageIndex_ = index;
    activateWindow();
    editor->memText->setFocus();
    editor->memText->GoToLineColumn(message.Line - 1, message.Column);
    if (dlgErrors && dlgErrors->isVisible())
        dlgErrors->ShowLine(message.FirstLine);
    return true;
}

void TfrmMain::dlgErrorsLineChosen(int outputLine)
{
    // The message whose lines hold outputLine, if any.
    auto after = std::upper_bound(messages_.begin(), messages_.end(), outputLine,
                                  [](int line, const TCompilerMessage& message) { return line < message.FirstLine; });
    if (after == messages_.begin())
        return;
    const auto index = static_cast<int>(after - messages_.begin()) - 1;
    if (outputLine <= messages_[index].LastLine)
        GoToMessage(index);
}

void TfrmMain::mnuSearchNextErrorClick()
{
    // Round the list, past what cannot be followed.
    const int count = static_cast<int>(messages_.size());
    for (int step = 1; messagesLocated_ && step <= count; ++step)
        if (GoToMessage((messageIndex_ + step) % count))
            return;
}

void TfrmMain::mnuSearchPreviousErrorClick()
{
    const int count = static_cast<int>(messages_.size());
    const int from = messageIndex_ < 0 ? count : messageIndex_;
    for (int step = 1; messagesLocated_ && step <= count; ++step)
        if (GoToMessage(((from - step) % count + count) % count))
            return;
}

void TfrmMain::mnuSearchGoToLineClick()
{
    TcwEdit* editor = ActiveEditor();
    const int lines = editor ? editor->memText->LineCount() : 0;
    if (lines == 0)
        return;
    const std::optional<int> line =
        InputNumber(QStringLiteral("Go to Line"), QStringLiteral("Line number (1-%1):").arg(lines),
                    std::min(editor->memText->CaretLine() + 1, lines), 1, lines);
    if (!line)
        return;
    editor->memText->setFocus();
    editor->memText->GoToLineColumn(*line - 1, 0);
}

} // namespace zj
