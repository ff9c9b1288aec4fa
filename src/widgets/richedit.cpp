#include "richedit.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>

#include <cstdint>

namespace zj {

namespace {

// QScintilla's accessible text counts the characters from the start of the
// text to the caret on every caret move, which makes typing deep into a large
// file slow even when no assistive technology listens. Without one we offer
// the plain widget instead.
QAccessibleInterface* PlainAccessible(const QString&, QObject* object)
{
    if (QAccessible::isActive() || !qobject_cast<TRichEdit*>(object))
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::EditableText);
}

} // namespace

TRichEdit::TRichEdit(QWidget* parent) : QsciScintilla(parent)
{
    // Installed after QScintilla's own factory, so it is asked first.
    static const bool factoryInstalled = (QAccessible::installFactory(PlainAccessible), true);
    (void)factoryInstalled;
    setUtf8(true);
    setEolMode(EolWindows);
    setWrapMode(WrapNone);
    setMarginWidth(0, 0);
    setMarginWidth(1, 0);
    setMarginWidth(2, 0);
    setFrameShape(QFrame::NoFrame);
    SendScintilla(SCI_SETPASTECONVERTENDINGS, 1);
    // Long lines must not be measured in full while the user types.
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
    SendScintilla(SCI_SETLAYOUTCACHE, SC_CACHE_PAGE);
    // QScintilla's handling of the notices of text inserted or deleted counts
    // characters from the start of the text. The notices before a change
    // cost nothing and tell of every change.
    SendScintilla(SCI_SETMODEVENTMASK, static_cast<unsigned long>(SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE));
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this, [this] { emit TextChanged(); });
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, &TRichEdit::NotifySelection);
    connect(this, &QsciScintillaBase::SCN_STYLENEEDED, this, &TRichEdit::MarkStyled);
    InitMarks();
    InitFolding();
    connect(this, &QsciScintilla::modificationChanged, this, &TRichEdit::ModifiedChange);
    // These keys belong to the frame's menu commands, which also check
    // whether they are enabled; Ctrl+Del there deletes the selection. The
    // zoom keys are ours, with and without Shift (keyPressEvent).
    for (QKeyCombination key : {Qt::CTRL | Qt::Key_Z, Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::Key_X, Qt::CTRL | Qt::Key_C,
                                Qt::CTRL | Qt::Key_V, Qt::CTRL | Qt::Key_Delete, Qt::CTRL | Qt::Key_Plus,
                                Qt::CTRL | Qt::Key_Minus}) {
        const int code = key.toCombined();
        for (QsciCommand* command : standardCommands()->commands()) {
            if (command->key() == code)
                command->setKey(0);
            if (command->alternateKey() == code)
                command->setAlternateKey(0);
        }
    }
    InitStyles();
}

void TRichEdit::NotifySelection(int updated)
{
    if (updated & (SC_UPDATE_SELECTION | SC_UPDATE_CONTENT))
        emit SelectionChange();
}

void TRichEdit::MarkStyled(int position)
{
    // Without a lexer nothing styles the text, so Scintilla would ask again
    // at every paint and check each shown line against its laid-out copy:
    // the whole of a line of megabytes, every time the caret blinks. The
    // text has its one style; say it is styled.
    if (lexer())
        return;
    const long styled = SendScintilla(SCI_GETENDSTYLED);
    SendScintilla(SCI_STARTSTYLING, static_cast<unsigned long>(styled));
    SendScintilla(SCI_SETSTYLING, static_cast<unsigned long>(position - styled), 0L);
}

void TRichEdit::mousePressEvent(QMouseEvent* event)
{
    QsciScintilla::mousePressEvent(event);
    emit MouseDown();
}

void TRichEdit::contextMenuEvent(QContextMenuEvent* event)
{
    emit ContextPopup(event->globalPos());
}

bool ClipboardHasText()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

int FirstDisplayLine(int outputLine, int low, int high, const std::function<int(int)>& outputLineOf)
{
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (outputLineOf(middle) < outputLine)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

std::string_view TRichEdit::Bytes()
{
    const auto* text = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return {text, static_cast<std::size_t>(Length())};
}

std::array<std::string_view, 2> TRichEdit::Pieces() const
{
    const auto length = static_cast<std::size_t>(Length());
    // The pointers pass through a long; where a long is shorter, one piece.
    if constexpr (sizeof(long) >= sizeof(void*)) {
        const auto gap = static_cast<std::size_t>(SendScintilla(SCI_GETGAPPOSITION));
        auto range = [this](std::size_t start, std::size_t size) {
            const long pointer =
                SendScintilla(SCI_GETRANGEPOINTER, static_cast<unsigned long>(start), static_cast<long>(size));
            return std::string_view(reinterpret_cast<const char*>(static_cast<std::intptr_t>(pointer)), size);
        };
        return {range(0, gap), range(gap, length - gap)};
    }
    const auto* text = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return {std::string_view(text, length), std::string_view()};
}

void TRichEdit::AppendRange(int start, int length, std::string& out)
{
    if constexpr (sizeof(long) >= sizeof(void*)) {
        // Scintilla moves its gap out of the range only, at most length bytes.
        const long pointer =
            SendScintilla(SCI_GETRANGEPOINTER, static_cast<unsigned long>(start), static_cast<long>(length));
        out.append(reinterpret_cast<const char*>(static_cast<std::intptr_t>(pointer)), static_cast<std::size_t>(length));
    } else {
        const std::size_t at = out.size();
        // One byte more for the NUL that Scintilla writes.
        out.resize(at + static_cast<std::size_t>(length) + 1);
        SendScintilla(SCI_GETTEXTRANGE, static_cast<long>(start), static_cast<long>(start + length), out.data() + at);
        out.resize(at + static_cast<std::size_t>(length));
    }
}

int TRichEdit::Length() const
{
    return static_cast<int>(SendScintilla(SCI_GETLENGTH));
}

int TRichEdit::LineCount() const
{
    const int length = Length();
    if (length == 0)
        return 0;
    const int lines = static_cast<int>(SendScintilla(SCI_GETLINECOUNT));
    const long lastLineStart = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(lines - 1));
    return lastLineStart == length ? lines - 1 : lines;
}

int TRichEdit::SelStart() const
{
    return static_cast<int>(SendScintilla(SCI_GETSELECTIONSTART));
}

int TRichEdit::SelLength() const
{
    return static_cast<int>(SendScintilla(SCI_GETSELECTIONEND)) - SelStart();
}

std::string TRichEdit::SelText() const
{
    const int start = SelStart();
    const int length = SelLength();
    // One byte more for the terminating NUL that Scintilla writes.
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendScintilla(SCI_GETTEXTRANGE, static_cast<long>(start), static_cast<long>(start + length), text.data());
    text.resize(static_cast<std::size_t>(length));
    return text;
}

void TRichEdit::SetSel(int start, int length)
{
    // What is selected is shown, out of any fold it lay in.
    for (const int pos : {start, start + length})
        SendScintilla(SCI_ENSUREVISIBLE, static_cast<unsigned long>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos))));
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(start), static_cast<long>(start + length));
}

void TRichEdit::ReplaceSel(std::string_view text)
{
    // SCI_REPLACESEL stops at a NUL; the target takes a length.
    const int start = SelStart();
    SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(start), static_cast<long>(start + SelLength()));
    SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(text.size()), text.data());
    // The target ends after what was inserted: nothing in a read-only text.
    const long end = SendScintilla(SCI_GETTARGETEND);
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(end), end);
}

bool TRichEdit::Modified() const
{
    return forcedModified_ || SendScintilla(SCI_GETMODIFY) != 0;
}

void TRichEdit::SetModified(bool modified)
{
    forcedModified_ = modified;
    if (!modified)
        SendScintilla(SCI_SETSAVEPOINT);
    emit ModifiedChange();
}

bool TRichEdit::Edited() const
{
    return SendScintilla(SCI_GETMODIFY) != 0;
}

void TRichEdit::SetLineBreak(TLineBreak lineBreak)
{
    lineBreak_ = lineBreak;
    setEolMode(lineBreak == TLineBreak::Lf ? EolUnix : EolWindows);
}

} // namespace zj
