#include "richedit.h"

#include "textconv.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>

namespace zj {

TRichEdit::TRichEdit(QWidget* parent) : QsciScintilla(parent)
{
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
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, &TRichEdit::NotifySelection);
}

void TRichEdit::NotifySelection(int updated)
{
    if (updated & (SC_UPDATE_SELECTION | SC_UPDATE_CONTENT))
        emit SelectionChange();
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

std::string_view TRichEdit::Bytes()
{
    const auto* data = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return {data, static_cast<std::size_t>(Length())};
}

void TRichEdit::LoadBytes(std::string_view data)
{
    const bool wasReadOnly = isReadOnly();
    setReadOnly(false);
    setUtf8(IsValidUtf8(data));
    SendScintilla(SCI_SETUNDOCOLLECTION, 0L);
    SendScintilla(SCI_CLEARALL);
    SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(data.size()), data.data());
    SendScintilla(SCI_SETUNDOCOLLECTION, 1L);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_GOTOPOS, 0L);
    SetModified(false);
    setReadOnly(wasReadOnly);
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
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(start), static_cast<long>(start + length));
}

void TRichEdit::ReplaceSel(std::string_view text)
{
    // SCI_REPLACESEL stops at a NUL; the target takes a length.
    const int start = SelStart();
    SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(start), static_cast<long>(start + SelLength()));
    SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(text.size()), text.data());
    const int end = start + static_cast<int>(text.size());
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(end), static_cast<long>(end));
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
}

int TRichEdit::FindText(std::string_view text, int start, int end, bool wholeWord, bool matchCase) const
{
    int flags = (wholeWord ? SCFIND_WHOLEWORD : 0) | (matchCase ? SCFIND_MATCHCASE : 0);
    SendScintilla(SCI_SETSEARCHFLAGS, static_cast<unsigned long>(flags));
    SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(start), static_cast<long>(end));
    return static_cast<int>(
        SendScintilla(SCI_SEARCHINTARGET, static_cast<uintptr_t>(text.size()), text.data()));
}

} // namespace zj
