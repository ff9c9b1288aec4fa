#include "console.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>

#include <algorithm>

namespace zj {

namespace {

const char* const DroppedNotice = "[Earlier output was dropped: the console keeps the last 4 MB.]\n";

bool IsContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

TConsole::TConsole(QWidget* parent) : TRichEdit(parent)
{
    SetEditorFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setReadOnly(true);
    // A transcript is never undone; its history would only grow.
    SendScintilla(SCI_SETUNDOCOLLECTION, 0L);
    connect(this, &TRichEdit::StylesChanged, this, &TConsole::ApplyConsoleStyles);
    connect(this, &QsciScintillaBase::SCN_DOUBLECLICK, this, [this](int, int line, int) {
        const int outputLine = OutputLine(line);
        if (outputLine >= 0)
            emit LineChosen(outputLine);
    });
    ApplyConsoleStyles();
}

void TConsole::ApplyConsoleStyles()
{
    SendScintilla(SCI_STYLESETFORE, static_cast<unsigned long>(ErrorStyle), QColor(0xb0, 0x00, 0x00));
    SendScintilla(SCI_STYLESETFORE, static_cast<unsigned long>(InputStyle), QColor(0x00, 0x40, 0xa0));
    SendScintilla(SCI_STYLESETFORE, static_cast<unsigned long>(NoticeStyle), QColor(0x60, 0x60, 0x60));
    SendScintilla(SCI_STYLESETITALIC, static_cast<unsigned long>(NoticeStyle), 1L);
}

void TConsole::Clear()
{
    SendScintilla(SCI_SETREADONLY, 0L);
    SendScintilla(SCI_CLEARALL);
    SendScintilla(SCI_SETREADONLY, 1L);
    taking_ = false;
    inputStart_ = 0;
    lineBytes_ = 0;
    continued_.clear();
    trimmedLines_ = 0;
    dropNotice_ = false;
}

void TConsole::SetTakingInput(bool taking)
{
    taking_ = taking;
}

void TConsole::InsertAt(int pos, std::string_view bytes, int style)
{
    if (bytes.empty())
        return;
    // A caret in the typing, or at the end, goes along with the text.
    const int caret = SelStart();
    const bool follows = SelLength() == 0 && caret >= inputStart_;
    const int fromEnd = Length() - caret;
    SendScintilla(SCI_SETREADONLY, 0L);
    SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(pos), static_cast<long>(pos));
    SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(bytes.size()), bytes.data());
    SendScintilla(SCI_STARTSTYLING, static_cast<unsigned long>(pos));
    SendScintilla(SCI_SETSTYLING, static_cast<unsigned long>(bytes.size()), static_cast<long>(style));
    // Whatever follows keeps its look: the typing is after every insertion.
    const int after = pos + static_cast<int>(bytes.size());
    if (after < Length()) {
        SendScintilla(SCI_STARTSTYLING, static_cast<unsigned long>(after));
        SendScintilla(SCI_SETSTYLING, static_cast<unsigned long>(Length() - after), static_cast<long>(InputStyle));
    }
    SendScintilla(SCI_SETREADONLY, 1L);
    if (follows) {
        SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(Length() - fromEnd));
        SendScintilla(SCI_SCROLLCARET);
    }
}

void TConsole::InsertTranscript(std::string_view bytes, int style)
{
    std::size_t from = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\n' || c == '\r') {
            lineBytes_ = 0;
            continue;
        }
        if (lineBytes_ < MaxViewLine) {
            ++lineBytes_;
            continue;
        }
        // Laying out a line takes time in its length: a long one is shown
        // in pieces, cut between characters.
        std::size_t cut = i;
        while (cut > from && IsContinuation(bytes[cut]))
            --cut;
        if (cut == from)
            cut = i;
        InsertAt(inputStart_, bytes.substr(from, cut - from), style);
        inputStart_ += static_cast<int>(cut - from);
        InsertAt(inputStart_, "\n", style);
        ++inputStart_;
        continued_.push_back(static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(inputStart_))));
        from = cut;
        lineBytes_ = i - cut + 1;
    }
    InsertAt(inputStart_, bytes.substr(from), style);
    inputStart_ += static_cast<int>(bytes.size() - from);
}

void TConsole::AppendOutput(TJobStream stream, std::string_view bytes)
{
    InsertTranscript(bytes, stream == TJobStream::Error ? ErrorStyle : OutputStyle);
    Trim();
}

void TConsole::AppendNotice(const QString& text)
{
    const int length = Length();
    const long last = length > 0 ? SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(length - 1)) : '\n';
    const std::string line = std::string(last != '\n' && last != '\r' ? "\n" : "") + text.toUtf8().toStdString() + "\n";
    InsertAt(length, line, NoticeStyle);
    inputStart_ = Length();
    lineBytes_ = 0;
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(Length()));
    SendScintilla(SCI_SCROLLCARET);
}

void TConsole::SayDropped()
{
    if (dropNotice_)
        return;
    const std::string_view notice = DroppedNotice;
    // Above everything: the caret and the typing move down with the text.
    SendScintilla(SCI_SETREADONLY, 0L);
    const int caret = SelStart();
    SendScintilla(SCI_SETTARGETRANGE, 0UL, 0L);
    SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(notice.size()), notice.data());
    SendScintilla(SCI_STARTSTYLING, 0UL);
    SendScintilla(SCI_SETSTYLING, static_cast<unsigned long>(notice.size()), static_cast<long>(NoticeStyle));
    SendScintilla(SCI_SETREADONLY, 1L);
    SetSel(caret + static_cast<int>(notice.size()), 0);
    inputStart_ += static_cast<int>(notice.size());
    for (int& line : continued_)
        ++line;
    dropNotice_ = true;
}

void TConsole::Trim()
{
    const int length = Length();
    if (static_cast<std::size_t>(length) <= MaxKept + MaxKept / 4)
        return;
    SayDropped();
    const int top = 1;
    // The first line kept: a whole output line, and none of the typing.
    const int inputLine = static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(inputStart_)));
    int keep = static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(Length() - static_cast<int>(MaxKept)))) + 1;
    while (std::binary_search(continued_.begin(), continued_.end(), keep))
        ++keep;
    keep = std::min(keep, inputLine);
    if (keep <= top)
        return;
    const long from = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(top));
    const long to = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(keep));
    const int caret = SelStart();
    SendScintilla(SCI_SETREADONLY, 0L);
    SendScintilla(SCI_DELETERANGE, static_cast<unsigned long>(from), to - from);
    SendScintilla(SCI_SETREADONLY, 1L);
    const int removed = keep - top;
    const auto firstKept = std::lower_bound(continued_.begin(), continued_.end(), keep);
    const int pieces = static_cast<int>(firstKept - continued_.begin());
    continued_.erase(continued_.begin(), firstKept);
    for (int& line : continued_)
        line -= removed;
    trimmedLines_ += removed - pieces;
    inputStart_ -= static_cast<int>(to - from);
    if (caret >= to)
        SetSel(caret - static_cast<int>(to - from), 0);
}

int TConsole::OutputLine(int displayLine) const
{
    const int notice = dropNotice_ ? 1 : 0;
    if (displayLine < notice)
        return -1;
    const auto pieces = std::upper_bound(continued_.begin(), continued_.end(), displayLine) - continued_.begin();
    return displayLine - notice - static_cast<int>(pieces) + trimmedLines_;
}

int TConsole::DisplayLine(int outputLine) const
{
    const int line = FirstDisplayLine(outputLine, 0, static_cast<int>(SendScintilla(SCI_GETLINECOUNT)),
                                      [this](int displayLine) { return OutputLine(displayLine); });
    return OutputLine(line) == outputLine ? line : -1;
}

void TConsole::ShowLine(int outputLine)
{
    const int line = DisplayLine(outputLine);
    if (line >= 0)
        GoToLineColumn(line, 0);
}

int TConsole::CaretOutputLine() const
{
    return OutputLine(CaretLine());
}

bool TConsole::CaretInTyping() const
{
    const long inputLine = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(inputStart_));
    return taking_ && SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(SelStart())) >= inputLine;
}

void TConsole::InsertTyped(const QString& text)
{
    if (!taking_ || text.isEmpty())
        return;
    std::string bytes = text.toUtf8().toStdString();
    // Whatever breaks the pasted lines, the program reads LF.
    std::string typed;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            typed += '\n';
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            typed += bytes[i];
        }
    }
    const int caret = SelStart();
    const int at = caret >= inputStart_ && SelLength() == 0 ? caret : Length();
    InsertAt(at, typed, InputStyle);
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(at + static_cast<int>(typed.size())));
    SendScintilla(SCI_SCROLLCARET);
    // Each whole line goes to the program at once.
    for (;;) {
        const std::string_view pending = Bytes().substr(static_cast<std::size_t>(inputStart_));
        const std::size_t end = pending.find('\n');
        if (end == std::string_view::npos)
            break;
        const std::string line(pending.substr(0, end + 1));
        inputStart_ += static_cast<int>(line.size());
        lineBytes_ = 0;
        emit Input(line);
    }
}

void TConsole::Send(bool withBreak)
{
    if (withBreak)
        InsertAt(Length(), "\n", InputStyle);
    const std::string pending(Bytes().substr(static_cast<std::size_t>(inputStart_)));
    inputStart_ = Length();
    const std::size_t lastBreak = pending.find_last_of('\n');
    lineBytes_ = lastBreak == std::string::npos ? lineBytes_ + pending.size() : pending.size() - lastBreak - 1;
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(Length()));
    if (!pending.empty())
        emit Input(pending);
}

std::string TConsole::Transcript(int start, int end)
{
    const std::string_view text = Bytes();
    std::string copied;
    int from = start;
    for (int line : continued_) {
        // The break that cuts a long line stands just before its piece.
        const int cut = static_cast<int>(SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line))) - 1;
        if (cut < from || cut >= end)
            continue;
        copied.append(text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(cut - from)));
        from = cut + 1;
    }
    copied.append(text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(std::max(end - from, 0))));
    return copied;
}

void TConsole::copy()
{
    if (SelLength() == 0)
        return;
    const std::string text = Transcript(SelStart(), SelStart() + SelLength());
    QGuiApplication::clipboard()->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TConsole::paste()
{
    const QMimeData* source = QGuiApplication::clipboard()->mimeData();
    if (source && source->hasText())
        InsertTyped(source->text());
}

bool TConsole::event(QEvent* event)
{
    // The frame's own shortcuts (its Edit commands) must not take the keys
    // that work here: copying the transcript, typing for the program.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
        const bool ours = key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)
                          || key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Cut)
                          || key->matches(QKeySequence::Undo)
                          || (modifiers == Qt::ControlModifier && key->key() == Qt::Key_D)
                          || (modifiers == Qt::NoModifier
                              && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter
                                  || key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete
                                  || (!key->text().isEmpty() && key->text().front().isPrint())));
        if (ours) {
            event->accept();
            return true;
        }
    }
    return TRichEdit::event(event);
}

void TConsole::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        paste();
        return;
    }
    if (modifiers == Qt::ControlModifier && event->key() == Qt::Key_D) {
        if (taking_) {
            Send(false);
            taking_ = false;
            emit InputEnded();
        }
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (CaretInTyping()) {
            Send(true);
        } else {
            const int line = CaretOutputLine();
            if (line >= 0)
                emit LineChosen(line);
        }
        return;
    case Qt::Key_Backspace:
    case Qt::Key_Delete: {
        const int caret = SelStart();
        const bool back = event->key() == Qt::Key_Backspace;
        if (taking_ && (back ? caret > inputStart_ : caret >= inputStart_ && caret < Length())) {
            SendScintilla(SCI_SETREADONLY, 0L);
            SendScintilla(back ? SCI_DELETEBACK : SCI_CLEAR);
            SendScintilla(SCI_SETREADONLY, 1L);
        }
        return;
    }
    default:
        break;
    }
    const QString text = event->text();
    const bool command = modifiers.testFlag(Qt::ControlModifier) || modifiers.testFlag(Qt::AltModifier);
    if (!text.isEmpty() && text.front().isPrint() && !command) {
        InsertTyped(text);
        return;
    }
    // Moving about and selecting; the text itself is read-only.
    QsciScintilla::keyPressEvent(event);
}

void TConsole::inputMethodEvent(QInputMethodEvent* event)
{
    InsertTyped(event->commitString());
    event->accept();
}

} // namespace zj
