// The text control's line numbers, compiler-message marks, going to a line,
// and its read-only view of long output.
#include "richedit.h"

#include "textconv.h"

#include <QEvent>
#include <QHelpEvent>
#include <QToolTip>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace zj {

namespace {

constexpr unsigned long LineNumberMargin = 0;
constexpr unsigned long MessageMargin = 1;
constexpr unsigned long FoldMargin = 2;
constexpr long FoldMarginWidth = 12;

// Markers 1 to 3 show the message kinds in the message margin; 4, in no margin,
// is the highlighted line's background: a highlighter's yellow, which no
// selection, focused or not, is drawn in.
constexpr unsigned long HighlightMarker = 4;
const QColor HighlightColour(0xFF, 0xEE, 0x90);
constexpr long MarkMask = (1 << 1) | (1 << 2) | (1 << 3);
// Indicators below 8 belong to lexers.
constexpr unsigned long FirstIndicator = 8;

constexpr TMessageKind Kinds[] = {TMessageKind::Error, TMessageKind::Warning, TMessageKind::Note};

unsigned long KindMarker(TMessageKind kind)
{
    return 1 + static_cast<unsigned long>(kind);
}

unsigned long KindIndicator(TMessageKind kind)
{
    return FirstIndicator + static_cast<unsigned long>(kind);
}

QColor KindColour(TMessageKind kind)
{
    switch (kind) {
    case TMessageKind::Error:
        return QColor(0xD0, 0x10, 0x10);
    case TMessageKind::Warning:
        return QColor(0xE0, 0x90, 0x00);
    case TMessageKind::Note:
        break;
    }
    return QColor(0x20, 0x60, 0xD0);
}

// Distinct shapes, not only colours, tell the kinds apart.
long KindSymbol(TMessageKind kind)
{
    switch (kind) {
    case TMessageKind::Error:
        return QsciScintillaBase::SC_MARK_CIRCLE;
    case TMessageKind::Warning:
        return QsciScintillaBase::SC_MARK_SHORTARROW;
    case TMessageKind::Note:
        break;
    }
    return QsciScintillaBase::SC_MARK_SMALLRECT;
}

// Shows a mark's message where the mouse rests on it.
class TMarkTips : public QObject {
public:
    explicit TMarkTips(TRichEdit* edit) : QObject(edit), edit_(edit) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = edit_->MarkTipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, edit_->viewport());
        return true;
    }

private:
    TRichEdit* edit_;
};

} // namespace

void TRichEdit::InitMarks()
{
    SendScintilla(SCI_SETMARGINTYPEN, LineNumberMargin, static_cast<long>(SC_MARGIN_NUMBER));
    SendScintilla(SCI_SETMARGINMASKN, LineNumberMargin, 0L);
    SendScintilla(SCI_SETMARGINTYPEN, MessageMargin, static_cast<long>(SC_MARGIN_SYMBOL));
    SendScintilla(SCI_SETMARGINMASKN, MessageMargin, MarkMask);
    for (TMessageKind kind : Kinds) {
        SendScintilla(SCI_MARKERDEFINE, KindMarker(kind), KindSymbol(kind));
        SendScintilla(SCI_MARKERSETFORE, KindMarker(kind), KindColour(kind).darker(150));
        SendScintilla(SCI_MARKERSETBACK, KindMarker(kind), KindColour(kind));
        SendScintilla(SCI_INDICSETSTYLE, KindIndicator(kind), static_cast<long>(INDIC_SQUIGGLE));
        SendScintilla(SCI_INDICSETFORE, KindIndicator(kind), KindColour(kind));
    }
    SendScintilla(SCI_MARKERDEFINE, HighlightMarker, static_cast<long>(SC_MARK_BACKGROUND));
    SendScintilla(SCI_MARKERSETBACK, HighlightMarker, HighlightColour);
    viewport()->installEventFilter(new TMarkTips(this));
    // The width follows the digits of the line count, which only a change of
    // the text can alter.
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, [this](int updated) {
        if (updated & SC_UPDATE_CONTENT)
            UpdateMarginWidths(false);
    });
    connect(this, &TRichEdit::SelectionChange, this, &TRichEdit::FollowHighlight);
    // The numbers are drawn in the line-number style, which follows the font
    // and the zoom.
    connect(this, &TRichEdit::StylesChanged, this, [this] { UpdateMarginWidths(true); });
    connect(this, &QsciScintillaBase::SCN_ZOOM, this, [this] { UpdateMarginWidths(true); });
}

void TRichEdit::InitFolding()
{
    SendScintilla(SCI_SETMARGINTYPEN, FoldMargin, static_cast<long>(SC_MARGIN_SYMBOL));
    SendScintilla(SCI_SETMARGINMASKN, FoldMargin, static_cast<long>(SC_MASK_FOLDERS));
    SendScintilla(SCI_SETMARGINSENSITIVEN, FoldMargin, 1L);
    const std::pair<int, int> symbols[] = {
        {SC_MARKNUM_FOLDEROPEN, SC_MARK_BOXMINUS},          {SC_MARKNUM_FOLDER, SC_MARK_BOXPLUS},
        {SC_MARKNUM_FOLDERSUB, SC_MARK_VLINE},              {SC_MARKNUM_FOLDERTAIL, SC_MARK_LCORNER},
        {SC_MARKNUM_FOLDEREND, SC_MARK_BOXPLUSCONNECTED},   {SC_MARKNUM_FOLDEROPENMID, SC_MARK_BOXMINUSCONNECTED},
        {SC_MARKNUM_FOLDERMIDTAIL, SC_MARK_TCORNER},
    };
    for (const auto& [marker, symbol] : symbols) {
        SendScintilla(SCI_MARKERDEFINE, static_cast<unsigned long>(marker), static_cast<long>(symbol));
        SendScintilla(SCI_MARKERSETFORE, static_cast<unsigned long>(marker), QColor(Qt::white));
        SendScintilla(SCI_MARKERSETBACK, static_cast<unsigned long>(marker), QColor(0x80, 0x80, 0x80));
    }
    SendScintilla(SCI_SETFOLDMARGINCOLOUR, 1UL, QColor(0xf0, 0xf0, 0xf0));
    SendScintilla(SCI_SETFOLDMARGINHICOLOUR, 1UL, QColor(0xf0, 0xf0, 0xf0));
    SendScintilla(SCI_SETFOLDFLAGS, static_cast<unsigned long>(SC_FOLDFLAG_LINEAFTER_CONTRACTED));
    // Scintilla folds on a click in the margin and shows hidden lines that an
    // edit or a change of the fold structure needs: no text stays hidden
    // behind a fold that is gone.
    SendScintilla(SCI_SETAUTOMATICFOLD,
                  static_cast<unsigned long>(SC_AUTOMATICFOLD_SHOW | SC_AUTOMATICFOLD_CLICK | SC_AUTOMATICFOLD_CHANGE));
}

void TRichEdit::ShowFoldMargin()
{
    // Only a lexer works out what folds.
    SendScintilla(SCI_SETMARGINWIDTHN, FoldMargin, lexer() ? FoldMarginWidth : 0L);
    if (!lexer())
        SendScintilla(SCI_FOLDALL, static_cast<unsigned long>(SC_FOLDACTION_EXPAND));
}

void TRichEdit::SetLineNumbers(bool show)
{
    lineNumbers_ = show;
    lineNumberDigits_ = 0;
    if (show)
        UpdateMarginWidths(true);
    else
        SendScintilla(SCI_SETMARGINWIDTHN, LineNumberMargin, 0L);
}

void TRichEdit::UpdateMarginWidths(bool fontChanged)
{
    if (fontChanged && !marks_.empty())
        SendScintilla(SCI_SETMARGINWIDTHN, MessageMargin, SendScintilla(SCI_TEXTHEIGHT, 0UL));
    if (!lineNumbers_)
        return;
    int digits = 1;
    for (long lines = SendScintilla(SCI_GETLINECOUNT); lines >= 10; lines /= 10)
        ++digits;
    // Two digits at least, so the text does not move at the tenth line.
    digits = std::max(digits, 2);
    if (digits == lineNumberDigits_ && !fontChanged)
        return;
    lineNumberDigits_ = digits;
    // One digit more than the largest number, as room on either side.
    const std::string sample(static_cast<std::size_t>(digits) + 1, '9');
    const long width = SendScintilla(SCI_TEXTWIDTH, static_cast<uintptr_t>(STYLE_LINENUMBER), sample.c_str());
    SendScintilla(SCI_SETMARGINWIDTHN, LineNumberMargin, width);
}

namespace {

// The position of a 1-based column of line, counted as the compiler counts
// it (UTF-16 code units, a tab being one), kept within the line.
long ColumnPosition(const TRichEdit& edit, long line, int column)
{
    const long start = edit.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const long end = edit.SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    if (column <= 1)
        return start;
    const long pos = edit.SendScintilla(QsciScintillaBase::SCI_POSITIONRELATIVECODEUNITS,
                                        static_cast<unsigned long>(start), static_cast<long>(column - 1));
    // 0 when the count runs past the end of the text.
    return pos <= start || pos > end ? end : pos;
}

// The empty line after a final line break is not one of the text's lines.
long KeptLine(const TRichEdit& edit, int line)
{
    const long last = std::max(edit.LineCount() - 1, 0);
    return std::clamp(static_cast<long>(line), 0L, last);
}

} // namespace

void TRichEdit::AddMark(int line, int column, TMessageKind kind, const QString& text)
{
    const long kept = KeptLine(*this, line);
    const long handle = SendScintilla(SCI_MARKERADD, static_cast<unsigned long>(kept), static_cast<long>(KindMarker(kind)));
    if (handle < 0)
        return;
    marks_.push_back({static_cast<int>(handle), text});
    if (marks_.size() == 1)
        SendScintilla(SCI_SETMARGINWIDTHN, MessageMargin, SendScintilla(SCI_TEXTHEIGHT, 0UL));

    // The squiggle: the word at the column, or its character; a column past
    // the last character marks that character; no column marks the line.
    const long lineStart = SendScintilla(SCI_GETLINEINDENTPOSITION, static_cast<unsigned long>(kept));
    const long lineEnd = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(kept));
    long from = lineStart;
    long to = lineEnd;
    if (column > 0) {
        from = ColumnPosition(*this, kept, column);
        if (from >= lineEnd) {
            const long lineFirst = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(kept));
            from = lineEnd > lineFirst ? SendScintilla(SCI_POSITIONBEFORE, static_cast<unsigned long>(lineEnd)) : lineEnd;
            to = lineEnd;
        } else {
            to = SendScintilla(SCI_WORDENDPOSITION, static_cast<unsigned long>(from), 1L);
            if (to <= from)
                to = SendScintilla(SCI_POSITIONAFTER, static_cast<unsigned long>(from));
            to = std::min(to, lineEnd);
        }
    }
    if (to > from) {
        SendScintilla(SCI_SETINDICATORCURRENT, KindIndicator(kind));
        SendScintilla(SCI_SETINDICATORVALUE, static_cast<unsigned long>(marks_.size()));
        SendScintilla(SCI_INDICATORFILLRANGE, static_cast<unsigned long>(from), to - from);
    }
}

void TRichEdit::ClearMarks()
{
    const long length = Length();
    for (TMessageKind kind : Kinds) {
        SendScintilla(SCI_MARKERDELETEALL, static_cast<unsigned long>(KindMarker(kind)));
        SendScintilla(SCI_SETINDICATORCURRENT, KindIndicator(kind));
        SendScintilla(SCI_INDICATORCLEARRANGE, 0UL, length);
    }
    marks_.clear();
    SendScintilla(SCI_SETMARGINWIDTHN, MessageMargin, 0L);
}

std::vector<int> TRichEdit::MarkedLines() const
{
    std::vector<int> lines;
    for (const TMark& mark : marks_)
        lines.push_back(static_cast<int>(SendScintilla(SCI_MARKERLINEFROMHANDLE, static_cast<unsigned long>(mark.Handle))));
    return lines;
}

QString TRichEdit::MarkTipAt(const QPoint& position) const
{
    if (marks_.empty())
        return {};
    QStringList tips;
    long margins = 0;
    for (unsigned long margin = LineNumberMargin; margin <= MessageMargin; ++margin)
        margins += SendScintilla(SCI_GETMARGINWIDTHN, margin);
    if (position.x() < margins) {
        const long pos = SendScintilla(SCI_POSITIONFROMPOINT, static_cast<unsigned long>(margins), position.y());
        const long line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos));
        const std::vector<int> lines = MarkedLines();
        for (std::size_t i = 0; i < marks_.size(); ++i)
            if (lines[i] == line)
                tips << marks_[i].Text;
    } else {
        const long pos = SendScintilla(SCI_POSITIONFROMPOINTCLOSE, static_cast<unsigned long>(position.x()),
                                       static_cast<long>(position.y()));
        if (pos < 0)
            return {};
        for (TMessageKind kind : Kinds) {
            const long value = SendScintilla(SCI_INDICATORVALUEAT, KindIndicator(kind), pos);
            if (value > 0 && static_cast<std::size_t>(value) <= marks_.size())
                tips << marks_[static_cast<std::size_t>(value) - 1].Text;
        }
    }
    return tips.join(QLatin1Char('\n'));
}

void TRichEdit::GoToLineColumn(int line, int column)
{
    const long kept = KeptLine(*this, line);
    SendScintilla(SCI_ENSUREVISIBLEENFORCEPOLICY, static_cast<unsigned long>(kept));
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(ColumnPosition(*this, kept, column)));
    Highlight(kept);
}

void TRichEdit::GoToLine(int line)
{
    const long kept = std::clamp(static_cast<long>(line), 0L, static_cast<long>(ShownLineCount()) - 1);
    SendScintilla(SCI_ENSUREVISIBLEENFORCEPOLICY, static_cast<unsigned long>(kept));
    SendScintilla(SCI_GOTOLINE, static_cast<unsigned long>(kept));
    Highlight(kept);
}

int TRichEdit::ShownLineCount() const
{
    return static_cast<int>(SendScintilla(SCI_GETLINECOUNT));
}

void TRichEdit::Highlight(long line)
{
    if (highlightHandle_ >= 0)
        SendScintilla(SCI_MARKERDELETEHANDLE, static_cast<unsigned long>(highlightHandle_));
    highlightHandle_ =
        static_cast<int>(SendScintilla(SCI_MARKERADD, static_cast<unsigned long>(line), static_cast<long>(HighlightMarker)));
    // A focused window draws the caret's line over every marker: the caret
    // line takes the highlight's colour while the caret stays on it.
    setCaretLineBackgroundColor(HighlightColour);
}

int TRichEdit::HighlightedLine() const
{
    if (highlightHandle_ < 0)
        return -1;
    return static_cast<int>(SendScintilla(SCI_MARKERLINEFROMHANDLE, static_cast<unsigned long>(highlightHandle_)));
}

int TRichEdit::CaretLine() const
{
    return static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(SendScintilla(SCI_GETCURRENTPOS))));
}

void TRichEdit::FollowHighlight()
{
    if (highlightHandle_ >= 0 && HighlightedLine() != CaretLine()) {
        SendScintilla(SCI_MARKERDELETEHANDLE, static_cast<unsigned long>(highlightHandle_));
        highlightHandle_ = -1;
        setCaretLineBackgroundColor(caretLineColour_);
    }
}

void TRichEdit::KeepCaretLineClearOf(const QRect& cover)
{
    const long line = CaretLine();
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const long end = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    const int height = static_cast<int>(SendScintilla(SCI_TEXTHEIGHT, static_cast<unsigned long>(line)));
    const int rows = static_cast<int>(SendScintilla(SCI_LINESONSCREEN));
    if (height <= 0 || rows <= 0)
        return;
    // The line's text as the view shows it, on the screen; an empty line
    // still has its caret.
    const QRect view(viewport()->mapToGlobal(QPoint(0, 0)), viewport()->size());
    const int textLeft = static_cast<int>(SendScintilla(SCI_GETMARGINLEFT)) + [this] {
        int width = 0;
        for (unsigned long margin = LineNumberMargin; margin <= FoldMargin; ++margin)
            width += static_cast<int>(SendScintilla(SCI_GETMARGINWIDTHN, margin));
        return width;
    }();
    const int left = std::max(textLeft, static_cast<int>(SendScintilla(SCI_POINTXFROMPOSITION, 0UL, start)));
    const int right = std::max(left + height, static_cast<int>(SendScintilla(SCI_POINTXFROMPOSITION, 0UL, end)));
    const int y = static_cast<int>(SendScintilla(SCI_POINTYFROMPOSITION, 0UL, start));
    auto onScreen = [&](int row) {
        return QRect(view.left() + left, view.top() + row * height, right - left, height).intersected(view);
    };
    const int row = y / height;
    if (!onScreen(row).intersects(cover))
        return;
    // The free row nearest to the line's own.
    int best = -1;
    for (int r = 0; r < rows; ++r)
        if (!onScreen(r).intersects(cover) && (best < 0 || std::abs(r - row) < std::abs(best - row)))
            best = r;
    if (best < 0)
        return;
    const long first = SendScintilla(SCI_GETFIRSTVISIBLELINE) + row - best;
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(std::max(first, 0L)));
}

void TRichEdit::LoadView(std::string_view bytes, std::vector<int>& continued)
{
    // A document without styles; its pointer passes through a long.
    if constexpr (sizeof(long) >= sizeof(void*)) {
        if (!viewDocument_) {
            const long eolMode = SendScintilla(SCI_GETEOLMODE);
            const long document = SendScintilla(SCI_CREATEDOCUMENT, 0UL, static_cast<long>(SC_DOCUMENTOPTION_STYLES_NONE));
            if (document) {
                void* pointer = reinterpret_cast<void*>(static_cast<std::intptr_t>(document));
                SendScintilla(SCI_SETDOCPOINTER, 0UL, pointer);
                SendScintilla(SCI_RELEASEDOCUMENT, 0UL, pointer);
                SendScintilla(SCI_SETEOLMODE, static_cast<unsigned long>(eolMode));
                viewDocument_ = true;
            }
        }
    }
    setReadOnly(false);
    const bool utf8 = IsValidUtf8(bytes);
    setUtf8(utf8);
    SendScintilla(SCI_SETUNDOCOLLECTION, 0L);
    SendScintilla(SCI_CLEARALL);
    SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(bytes.size() + bytes.size() / MaxViewLine + 1));
    continued.clear();

    const char* text = bytes.data();
    const std::size_t size = bytes.size();
    std::size_t pending = 0;
    std::size_t lineStart = 0;
    int displayLine = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = text[i];
        if (c == '\n' || c == '\r') {
            // CR LF is one line break, counted at its LF.
            if (c == '\n' || i + 1 == size || text[i + 1] != '\n')
                ++displayLine;
            lineStart = i + 1;
            continue;
        }
        if (i - lineStart < MaxViewLine)
            continue;
        std::size_t cut = i;
        while (utf8 && cut > lineStart + 1 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(cut - pending), text + pending);
        SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(1), "\n");
        continued.push_back(++displayLine);
        pending = lineStart = cut;
    }
    SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(size - pending), text + pending);
    SendScintilla(SCI_SETUNDOCOLLECTION, 1L);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_GOTOPOS, 0L);
    SetModified(false);
    setReadOnly(true);
}

} // namespace zj
