#include "richedit.h"
#include "uitest.h"

#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>

#include <gtest/gtest.h>

#include <string>

using namespace zj;

namespace {

using Sci = QsciScintillaBase;

class RichMarks : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        edit.resize(400, 300);
        edit.show();
    }

    long Send(unsigned msg, unsigned long w = 0, long l = 0) const { return edit.SendScintilla(msg, w, l); }
    long NumberWidth() const { return Send(Sci::SCI_GETMARGINWIDTHN, 0); }
    long TextWidth(const char* digits) const
    {
        return edit.SendScintilla(Sci::SCI_TEXTWIDTH, static_cast<uintptr_t>(Sci::STYLE_LINENUMBER), digits);
    }
    static std::string Lines(int count)
    {
        std::string text;
        for (int i = 1; i <= count; ++i)
            text += "line " + std::to_string(i) + "\r\n";
        return text;
    }
    // The point in the viewport where position is shown.
    QPoint PointOf(long position) const
    {
        return {static_cast<int>(Send(Sci::SCI_POINTXFROMPOSITION, 0, position)) + 1,
                static_cast<int>(Send(Sci::SCI_POINTYFROMPOSITION, 0, position)) + 2};
    }
    long Position(int line, int offset) const
    {
        return Send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)) + offset;
    }

    TRichEdit edit;
};

} // namespace

TEST_F(RichMarks, LineNumbersAreAsWideAsTheLargestNumberInTheTextsFont)
{
    EXPECT_EQ(NumberWidth(), 0) << "off until asked for";
    edit.SetLineNumbers(true);
    edit.LoadBytes(Lines(5));
    Settle();
    EXPECT_EQ(NumberWidth(), TextWidth("999"));
    // Typing past line 99 widens it; removing lines narrows it again.
    edit.SetSel(edit.Length(), 0);
    edit.ReplaceSel(Lines(120));
    Settle();
    EXPECT_EQ(NumberWidth(), TextWidth("9999"));
    edit.LoadBytes(Lines(3));
    Settle();
    EXPECT_EQ(NumberWidth(), TextWidth("999"));

    QFont big = edit.font();
    big.setPointSize(30);
    const long before = NumberWidth();
    edit.SetEditorFont(big);
    EXPECT_EQ(Send(Sci::SCI_STYLEGETSIZE, Sci::STYLE_LINENUMBER), big.pointSize());
    EXPECT_GT(NumberWidth(), 2 * before);
    EXPECT_EQ(NumberWidth(), TextWidth("999"));

    edit.SetLineNumbers(false);
    EXPECT_EQ(NumberWidth(), 0);
}

TEST_F(RichMarks, MarksShowTheirKindsFollowTheirLinesAndTellTheirMessages)
{
    edit.LoadBytes("class A {\r\n    int x = y;\r\n\tString s;\r\n    void f() {}\r\n}");
    edit.AddMark(1, 13, TMessageKind::Error, "error: cannot find symbol");
    edit.AddMark(2, 0, TMessageKind::Warning, "warning: unused");
    edit.AddMark(99, 500, TMessageKind::Note, "note: past the end");
    Settle();
    EXPECT_EQ(edit.MarkedLines(), (std::vector<int>{1, 2, 4}));
    EXPECT_GT(Send(Sci::SCI_GETMARGINWIDTHN, 1), 0);
    // One symbol each, told apart by kind.
    EXPECT_EQ(Send(Sci::SCI_MARKERGET, 1) & 0xE, 1 << 1);
    EXPECT_EQ(Send(Sci::SCI_MARKERGET, 2) & 0xE, 1 << 2);
    EXPECT_EQ(Send(Sci::SCI_MARKERGET, 4) & 0xE, 1 << 3);

    // The squiggle lies under the word at the column, under the text of a
    // line without one, and under the last character for a column past it.
    auto squiggled = [&](long pos) { return Send(Sci::SCI_INDICATORALLONFOR, static_cast<unsigned long>(pos)); };
    EXPECT_EQ(squiggled(Position(1, 11)), 0);
    EXPECT_NE(squiggled(Position(1, 12)), 0);
    EXPECT_EQ(squiggled(Position(1, 13)), 0);
    EXPECT_EQ(squiggled(Position(2, 0)), 0) << "the tab before the text";
    EXPECT_NE(squiggled(Position(2, 1)), 0);
    EXPECT_NE(squiggled(Position(2, 9)), 0);
    EXPECT_NE(squiggled(Position(4, 0)), 0);

    EXPECT_EQ(edit.MarkTipAt(PointOf(Position(1, 12))), "error: cannot find symbol");
    EXPECT_EQ(edit.MarkTipAt(PointOf(Position(1, 2))), "");
    EXPECT_EQ(edit.MarkTipAt(QPoint(2, PointOf(Position(2, 0)).y())), "warning: unused");
    EXPECT_EQ(edit.MarkTipAt(QPoint(2, PointOf(Position(3, 0)).y())), "");
    QHelpEvent hover(QEvent::ToolTip, PointOf(Position(1, 12)), edit.viewport()->mapToGlobal(PointOf(Position(1, 12))));
    QApplication::sendEvent(edit.viewport(), &hover);
    EXPECT_EQ(QToolTip::text(), "error: cannot find symbol");

    // Edits above move marks and squiggles with their lines.
    edit.SetSel(0, 0);
    edit.ReplaceSel("// new\r\n// lines\r\n");
    EXPECT_EQ(edit.MarkedLines(), (std::vector<int>{3, 4, 6}));
    EXPECT_NE(squiggled(Position(3, 12)), 0);
    EXPECT_EQ(edit.MarkTipAt(PointOf(Position(3, 12))), "error: cannot find symbol");

    edit.ClearMarks();
    EXPECT_TRUE(edit.MarkedLines().empty());
    EXPECT_EQ(Send(Sci::SCI_MARKERGET, 3), 0);
    EXPECT_EQ(squiggled(Position(3, 12)), 0);
    EXPECT_EQ(Send(Sci::SCI_GETMARGINWIDTHN, 1), 0);
    EXPECT_EQ(edit.MarkTipAt(PointOf(Position(3, 12))), "");
}

TEST_F(RichMarks, GoingToALineKeepsWithinTheTextAndHighlightsItUntilTheCaretLeaves)
{
    // Columns count as the compiler counts: characters, a tab being one.
    edit.LoadBytes("first\r\n\tgr\xC3\xBC\xC3\x9F" "e x\r\nlast");
    struct Case {
        int line, column;
        long position;
    };
    const Case cases[] = {
        {0, 0, 0},           {0, 3, 2},
        {1, 1, 7},           {1, 2, 8},
        {1, 5, 12},          {1, 7, 15},
        {1, 99, 17},         {7, 2, Position(2, 1)},
        {-3, 4, 3},
    };
    for (const Case& c : cases) {
        edit.GoToLineColumn(c.line, c.column);
        EXPECT_EQ(edit.SelStart(), c.position) << c.line << ":" << c.column;
        EXPECT_EQ(edit.SelLength(), 0);
    }
    edit.GoToLineColumn(1, 2);
    Settle();
    EXPECT_EQ(edit.HighlightedLine(), 1);
    EXPECT_EQ(edit.CaretLine(), 1);
    edit.SetSel(Position(1, 4), 0);
    Settle();
    EXPECT_EQ(edit.HighlightedLine(), 1) << "still on the line";
    edit.SetSel(0, 0);
    Settle();
    EXPECT_EQ(edit.HighlightedLine(), -1);
}

TEST_F(RichMarks, ViewShowsLongLinesInPiecesWithNothingLost)
{
    // 8-bit text cut anywhere; UTF-8 text only between characters.
    const std::string latin = std::string(5000, 'x') + "\xE9" + std::string(5000, 'y') + "\r\nend\rlast\n";
    std::string umlauts;
    for (int i = 0; i < 5000; ++i)
        umlauts += "\xC3\xA4";
    umlauts = "a" + umlauts + "\nend";
    for (const std::string& output : {latin, umlauts}) {
        std::vector<int> continued;
        edit.LoadView(output, continued);
        EXPECT_TRUE(edit.isReadOnly());
        EXPECT_EQ(continued, (std::vector<int>{1, 2}));
        std::string shown(edit.Bytes());
        // Each piece ends where the next begins; removing the breaks gives the output back.
        const long secondPiece = Send(Sci::SCI_POSITIONFROMLINE, 1);
        const long thirdPiece = Send(Sci::SCI_POSITIONFROMLINE, 2);
        EXPECT_LE(thirdPiece - secondPiece - 1, static_cast<long>(TRichEdit::MaxViewLine));
        shown.erase(static_cast<std::size_t>(thirdPiece - 1), 1);
        shown.erase(static_cast<std::size_t>(secondPiece - 1), 1);
        EXPECT_TRUE(shown == output);
        EXPECT_EQ(Send(Sci::SCI_GETLINECOUNT), output == latin ? 6 : 4);
    }
    std::vector<int> continued;
    edit.LoadView("short\nlines\n", continued);
    EXPECT_TRUE(continued.empty());
    EXPECT_EQ(edit.Bytes(), "short\nlines\n");
}
