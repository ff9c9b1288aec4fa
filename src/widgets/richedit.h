#pragma once

#include "compilermessages.h"
#include "textconv.h"
#include "zidarodadefs.h"

#include <Qsci/qsciscintilla.h>

class QTimer;

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zj {

// What a file holds, as far as showing it goes: its longest line in bytes
// (the break not counted), and whether it is shown as UTF-8.
struct TTextShape {
    std::size_t LongestLine = 0;
    bool Utf8 = true;
};
using TAcceptText = std::function<bool(const TTextShape&)>;

// An occurrence of a search text: byte offsets of its start and its end.
struct TFound {
    int Start = -1;
    int End = -1;
    explicit operator bool() const { return Start >= 0; }
};

// The plain-text edit control: typed access to the Scintilla messages the
// editor needs, so no handler sends raw messages itself. The text is bytes;
// positions are byte offsets. Line breaks stay as they were loaded; new ones
// are the document's line break.
class TRichEdit : public QsciScintilla {
    Q_OBJECT
public:
    explicit TRichEdit(QWidget* parent = nullptr);

    // The whole text, NUL bytes included. Valid until the next change.
    std::string_view Bytes();
    // The same in the two pieces the control keeps on either side of the
    // place of the last change: reading them moves nothing, where Bytes()
    // moves everything after that place (and the next keystroke moves it
    // back).
    std::array<std::string_view, 2> Pieces() const;
    // Appends length bytes of the text from start to out. Costs what it
    // copies, wherever the last edit was (Bytes may move the whole text).
    void AppendRange(int start, int length, std::string& out);
    // Replaces the whole text with bytes: shown as UTF-8 when they are valid
    // UTF-8, else as 8-bit text; the line break is the one of their first
    // line. Leaves the text unmodified, with nothing to undo and the caret at
    // the start.
    void LoadBytes(std::string_view bytes);
    // The same with a file's bytes. The file is read chunkSize bytes at a
    // time, so it is never held whole beside the text; whether it is valid
    // UTF-8 is decided over the whole file. Raises
    // EFOpenError "Cannot open file %s": a file that cannot be read leaves
    // the text as it was, one whose reading fails half way leaves it empty.
    // accept, when given, learns the text's shape before the text is touched;
    // when it says no, the text stays as it was and the result is empty.
    // Returns the HashOf the bytes read.
    std::optional<std::uint64_t> LoadFromFile(const std::string& fileName, std::size_t chunkSize = LoadChunkSize,
                                              const TAcceptText& accept = {});
    // Replaces the whole text with bytes as one step that Undo takes back,
    // the caret on the same line and column and the view where it was; the
    // code page and the line break follow the bytes. Leaves the text
    // unmodified. Only the part that differs is replaced, so marks elsewhere
    // stay and the undo step holds no more than that part.
    void ReloadBytes(std::string_view bytes);
    static constexpr std::size_t LoadChunkSize = 1 << 20;
    // About how long the first paint of a line of length bytes takes: the
    // control lays out a line whole, at a cost per byte measured by
    // bench/longline_bench, which shows the estimate beside the real time.
    static double LayoutSeconds(std::size_t length, bool utf8);

    int Length() const;
    // Lines of the text, an empty last line not counted: 0 exactly when the
    // text is empty.
    int LineCount() const;

    int SelStart() const;
    int SelLength() const;
    std::string SelText() const;
    // Selects length bytes from start (an empty selection is the caret).
    void SetSel(int start, int length);
    // Replaces the selection; the caret ends up after the inserted text.
    void ReplaceSel(std::string_view text);

    bool Modified() const;
    void SetModified(bool modified);
    // Whether the text itself differs from what it was when last marked
    // unmodified (a change of kind sets Modified only).
    bool Edited() const;

    // The break that Enter and pasted text get, and that a save of a changed
    // text writes throughout.
    TLineBreak LineBreak() const { return lineBreak_; }
    void SetLineBreak(TLineBreak lineBreak);

    // The bytes a search or replacement text has in this document: UTF-8 in a
    // UTF-8 document, Latin-1 in an 8-bit one, which is how the control shows
    // its bytes. A character beyond Latin-1 becomes '?' there and clears exact.
    std::string ToBytes(const QString& text, bool& exact) const;
    // Whether every character of text has its own bytes in this document.
    bool CanHold(const QString& text) const;

    // The first occurrence of text lying wholly in [start, end). Whole words
    // and exact matches are Scintilla's; when the case does not matter every
    // letter is folded, not only ASCII ones, so an occurrence can differ in
    // length from text.
    TFound FindText(std::string_view text, int start, int end, bool wholeWord, bool matchCase);
    // The occurrences in [start, end) that FindText finds one after the other,
    // each search going on at the end of the one before. Linear in the range.
    std::vector<TFound> FindAll(std::string_view text, int start, int end, bool wholeWord, bool matchCase);
    // Replaces every range (in order, not overlapping) with text, without
    // repainting in between. The caller groups it into an undo step.
    void ReplaceRanges(const std::vector<TFound>& ranges, std::string_view text);

    // Colours the text as syntax has it; TSyntax::None shows it plain. Only
    // the look changes, never a byte of the text. A text with a huge line
    // stays plain: Scintilla styles a changed line from its start, which
    // would stall every keystroke in it.
    void SetSyntax(TSyntax syntax);
    TSyntax Syntax() const { return syntax_; }
    // The font of every style, the line numbers' included. A size in pixels
    // is taken over in points at the control's resolution.
    void SetEditorFont(const QFont& font);
    const QFont& EditorFont() const { return editorFont_; }
    void recolor(int start = 0, int end = -1) override;

    // Line numbers in a margin on the left, as wide as the largest line
    // number needs in the text's own font.
    void SetLineNumbers(bool show);
    bool LineNumbers() const { return lineNumbers_; }

    // Compiler messages in the text: a symbol in a margin beside the line
    // (one for each kind) and a squiggle under the column; hovering either
    // shows the message. Edits move them with their lines. line is 0-based,
    // column 1-based in characters (0: the whole line), both kept within the
    // text.
    void AddMark(int line, int column, TMessageKind kind, const QString& text);
    void ClearMarks();
    // The lines that carry marks now, in the order the marks were added.
    std::vector<int> MarkedLines() const;
    // What hovering at position shows; empty where there is nothing.
    QString MarkTipAt(const QPoint& position) const;

    // Puts the caret at column (1-based, in characters; 0: the line's start)
    // of line (0-based), both kept within the text, scrolls it into view and
    // highlights the line until the caret leaves it.
    void GoToLineColumn(int line, int column);
    // The same at the start of a line the margin shows (0-based), the empty
    // line after a final line break included.
    void GoToLine(int line);
    // The lines the margin numbers: one more than LineCount after a final
    // line break.
    int ShownLineCount() const;
    // Scrolls the caret's line out from under cover (a rectangle on the
    // screen, such as another window) when the view has a free row for it.
    void KeepCaretLineClearOf(const QRect& cover);
    // The highlighted line, or -1.
    int HighlightedLine() const;
    int CaretLine() const;
    // The caret's column, 1-based: a character counts one, a tab to the next
    // tab stop.
    int CaretColumn() const;

    // Tab and Shift+Tab on a selection of whole lines: each line one level
    // (four columns) further in or out, as one undo step, the lines kept
    // selected. False, changing nothing, when the selection is not whole lines.
    bool IndentSelectedLines(bool forwards);
    // Whether the text is indented with tabs: decided by its first indented
    // lines; a text without any takes tabs, as Enter does.
    bool IndentsWithTabs();
    // Comments the selected lines (the caret's line without a selection) out,
    // or back in when all of them are comments: "//" in Java, "<!-- -->" in
    // HTML, blank lines left alone, one undo step. False for a kind of text
    // without line comments.
    bool ToggleComment();
    // Offers the words of sources (the open documents) and the Java keywords
    // that complete the word before the caret; beeps when there are none.
    void ShowCompletion(const std::vector<TRichEdit*>& sources);

    // A read-only view of bytes that nobody edits: no styles are kept (a
    // third less memory), and lines longer than MaxViewLine bytes are shown
    // in pieces, as laying out a line takes time and memory in its length.
    // continued receives the display lines that go on the line before them.
    void LoadView(std::string_view bytes, std::vector<int>& continued);
    static constexpr std::size_t MaxViewLine = 4096;

    // Pastes the clipboard's text; one the document cannot hold is refused
    // with the beep.
    void paste() override;

signals:
    // Every change of the caret or the selection, typing included.
    void SelectionChange();
    // The text is about to change (typed, pasted, undone, loaded...).
    void TextChanged();
    void MouseDown();
    void ContextPopup(const QPoint& globalPos);
    // Every style was set anew (another syntax or font): whatever sizes
    // itself by a style's font measures again.
    void StylesChanged();
    // Modified() may have changed.
    void ModifiedChange();
    // Ctrl+Space: the words to complete from are wanted (ShowCompletion).
    void CompletionRequest();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;

private:
    void NotifySelection(int updated);
    // Tab width, current line, typing aids; the plain look.
    void InitStyles();
    void ApplyStyles();
    // Takes the lexer of the syntax, or none for a text with a huge line.
    void ShowSyntax();
    bool HasHugeLine();
    QsciLexer* LexerFor(TSyntax syntax);
    // Styles the text up to end, where the painting has not styled it yet.
    void EnsureStyled(int end);
    // Colours the text a few lines at a time while the program is idle, so
    // that a far jump finds it coloured: after delay ms, from where the
    // colours end. Nothing happens without a lexer.
    void StyleInBackground(int delay = 0);
    void StyleStep();
    // Keys wait for no colouring: it goes on after a pause in the typing.
    void PauseBackgroundStyling();
    void CharAdded(int ch);
    void IndentNewLine();
    void AlignClosingBrace();
    void MatchBraces(int updated);
    int BraceAt(int pos);
    // Margins, markers, indicators and tips of the marks and line numbers.
    void InitMarks();
    void InitFolding();
    void ShowFoldMargin();
    void UpdateMarginWidths(bool fontChanged);
    void Highlight(long line);
    void FollowHighlight();
    void MarkStyled(int position);
    // The steps around every load; BeginLoad returns whether the text was
    // read-only, for EndLoad.
    bool BeginLoad(std::size_t size);
    void EndLoad(bool wasReadOnly);

    // Scintilla can only clear its modified state; a type change sets it.
    bool forcedModified_ = false;
    TLineBreak lineBreak_ = TLineBreak::CrLf;
    TSyntax syntax_ = TSyntax::None;
    QFont editorFont_;
    QsciLexer* javaLexer_ = nullptr;
    QsciLexer* htmlLexer_ = nullptr;
    QTimer* styleTimer_ = nullptr;
    // Bytes a step styles, from the speed of the steps before.
    double stepBytes_ = 16 << 10;
    // Where the colours ended when last seen: a change sets them back.
    long styledEnd_ = 0;

    struct TMark {
        int Handle;
        QString Text;
    };
    std::vector<TMark> marks_;
    bool lineNumbers_ = false;
    int lineNumberDigits_ = 0;
    int highlightHandle_ = -1;
    // The current line's own background, given up while it is highlighted.
    QColor caretLineColour_;
    bool viewDocument_ = false;
};

// Whether the clipboard offers plain text.
bool ClipboardHasText();

// The first display line in [low, high) that outputLineOf, which never
// decreases, takes to outputLine or beyond; high when there is none. Views
// that show a long line in pieces find an output line's first piece so.
int FirstDisplayLine(int outputLine, int low, int high, const std::function<int(int)>& outputLineOf);

} // namespace zj
