// The editing aids of the text control, through the keys a person presses.
#include "richedit.h"
#include "uitest.h"

#include <QTest>

#include <gtest/gtest.h>

#include <string>

using namespace zj;

namespace {

using Sci = QsciScintillaBase;

class RichLines : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        edit.resize(400, 300);
        edit.show();
        edit.setFocus();
    }

    void Load(const std::string& text, TSyntax syntax = TSyntax::Java)
    {
        edit.SetSyntax(syntax);
        edit.LoadBytes(text);
        Settle();
    }
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(&edit, key, modifiers);
        Settle();
    }
    std::string Text() { return std::string(edit.Bytes()); }
    long Send(unsigned msg, unsigned long w = 0, long l = 0) const { return edit.SendScintilla(msg, w, l); }
    long LineStart(int line) const { return Send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)); }
    // Undoes once and expects the text to be before.
    void ExpectOneUndoStep(const std::string& before)
    {
        Press(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(Text(), before);
    }

    TRichEdit edit;
};

} // namespace

TEST_F(RichLines, CaretColumnCountsCharactersAndTabStops)
{
    struct Case {
        const char* line;
        bool utf8;
        int column; // of the caret at the line's end
    };
    const Case cases[] = {
        {"", true, 1},
        {"abc", true, 4},
        {"\tx", true, 6},
        {"ab\tc", true, 6},
        {"abcd\t", true, 9},
        {"\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80\t!", true, 6}, // three characters, then the tab
        {"\xe4\xf6\t\xfc", false, 6},                          // 8-bit: a byte a character
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        edit.LoadBytes(std::string("first\r\n") + c.line + "\r\nlast");
        ASSERT_EQ(edit.SendScintilla(Sci::SCI_GETCODEPAGE) == Sci::SC_CP_UTF8, c.utf8);
        const long end = Send(Sci::SCI_GETLINEENDPOSITION, 1);
        edit.SetSel(static_cast<int>(end), 0);
        EXPECT_EQ(edit.CaretColumn(), c.column);
        EXPECT_EQ(edit.CaretColumn(), Send(Sci::SCI_GETCOLUMN, static_cast<unsigned long>(end)) + 1);
    }
    // The same while the text's gap lies inside the line: an edit in its
    // middle, then the caret at its end.
    edit.LoadBytes("x\r\n\tab\tcd");
    edit.SetSel(static_cast<int>(LineStart(1)) + 2, 0);
    edit.SendScintilla(Sci::SCI_ADDTEXT, static_cast<uintptr_t>(2), "\xc3\xa9");
    edit.SetSel(edit.Length(), 0);
    EXPECT_EQ(edit.CaretColumn(), 11);
}

TEST_F(RichLines, TabAndShiftTabMoveWholeLinesOneLevelAsOneUndoStep)
{
    struct Case {
        const char* text;
        const char* indented; // after Tab on lines 1 to 3
    };
    const Case cases[] = {
        // Indentation as the file has it; an empty line stays empty.
        {"{\r\n    a\r\n\r\n    b\r\n}", "{\r\n        a\r\n\r\n        b\r\n}"},
        {"{\r\n\ta\r\n\r\n\tb\r\n}", "{\r\n\t\ta\r\n\r\n\t\tb\r\n}"},
        {"x\r\ny\r\n\r\nz\r\n", "x\r\n\ty\r\n\r\n\tz\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Load(c.text);
        // From the start of line 1 to the start of line 4: lines 1 to 3.
        edit.SetSel(static_cast<int>(LineStart(1)), static_cast<int>(LineStart(4) - LineStart(1)));
        Press(Qt::Key_Tab);
        EXPECT_EQ(Text(), c.indented);
        EXPECT_EQ(edit.SelStart(), LineStart(1));
        EXPECT_EQ(edit.SelStart() + edit.SelLength(), LineStart(4)) << "the same lines stay selected";
        Press(Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(Text(), c.text);
        Press(Qt::Key_Tab);
        ExpectOneUndoStep(c.text);
    }
    // One whole line without its break counts too; part of a line does not.
    Load("a\r\nbc");
    edit.SetSel(3, 2);
    Press(Qt::Key_Tab);
    EXPECT_EQ(Text(), "a\r\n\tbc");
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(Text(), "a\r\nbc") << "nothing left to take out";
    edit.SetSel(4, 1);
    Press(Qt::Key_Tab);
    EXPECT_EQ(Text(), "a\r\nb\t") << "the control's own Tab";
}

TEST_F(RichLines, CtrlSlashTogglesLineCommentsAsOneUndoStep)
{
    struct Case {
        TSyntax syntax;
        const char* text;
        int from, to; // selected lines
        const char* toggled;
    };
    const Case cases[] = {
        {TSyntax::Java, "class A {\r\n    int x;\r\n\r\n    int y;  \r\n}", 1, 3,
         "class A {\r\n    // int x;\r\n\r\n    // int y;  \r\n}"},
        // Only when all are comments do they come back; otherwise all go out.
        {TSyntax::Java, "// a\r\nb\r\n", 0, 1, "// // a\r\n// b\r\n"},
        {TSyntax::Java, "//a\r\n  // b\r\n", 0, 1, "a\r\n  b\r\n"},
        {TSyntax::Html, "<p>\r\n  <b>x</b>\r\n</p>", 0, 1, "<!-- <p> -->\r\n  <!-- <b>x</b> -->\r\n</p>"},
        {TSyntax::Html, "<!-- <p> -->\r\n<!---->\r\n", 0, 1, "<p>\r\n\r\n"},
        // Two comments on a line are not one commented line.
        {TSyntax::Html, "<!-- a --> b <!-- c -->", 0, 0, "<!-- <!-- a --> b <!-- c --> -->"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Load(c.text, c.syntax);
        edit.SetSel(static_cast<int>(LineStart(c.from)), static_cast<int>(LineStart(c.to + 1) - LineStart(c.from)));
        Press(Qt::Key_Slash, Qt::ControlModifier);
        EXPECT_EQ(Text(), c.toggled);
        EXPECT_EQ(edit.SelStart(), LineStart(c.from));
        EXPECT_EQ(edit.SelStart() + edit.SelLength(), LineStart(c.to + 1)) << "the same lines stay selected";
        ExpectOneUndoStep(c.text);
    }
    // Without a selection, the caret's line; at the end of the text, on the
    // empty line after the last break, nothing.
    Load("int a;\r\n");
    edit.SetSel(3, 0);
    Press(Qt::Key_Slash, Qt::ControlModifier);
    EXPECT_EQ(Text(), "// int a;\r\n");
    EXPECT_EQ(edit.SelStart(), 6) << "the caret stays before the same character";
    EXPECT_EQ(edit.SelLength(), 0);
    edit.SetSel(edit.Length(), 0);
    Press(Qt::Key_Slash, Qt::ControlModifier);
    EXPECT_EQ(Text(), "// int a;\r\n");
    // Plain text has no comments: a beep, nothing else.
    Load("plain", TSyntax::None);
    Press(Qt::Key_Slash, Qt::ControlModifier);
    EXPECT_EQ(Text(), "plain");
    EXPECT_EQ(beeps, 1);
}

TEST_F(RichLines, FoldsHideJavaBlocksAndHtmlElementsNeverTheirText)
{
    struct Case {
        TSyntax syntax;
        const char* text;
        int header;
        int hidden; // the lines after header that the fold hides
    };
    const Case cases[] = {
        {TSyntax::Java, "class A {\r\n  void f() {\r\n    x();\r\n  }\r\n}\r\n", 1, 2},
        {TSyntax::Java, "/*\r\n * a\r\n */\r\nclass B {}\r\n", 0, 2},
        // Unbalanced: the block runs to the end of the text.
        {TSyntax::Java, "class C {\r\n  void f() {\r\n  x();\r\n", 0, 2},
        {TSyntax::Html, "<ul>\r\n  <li>a</li>\r\n  <li>b</li>\r\n</ul>\r\n", 0, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Load(c.text, c.syntax);
        ASSERT_GT(Send(Sci::SCI_GETMARGINWIDTHN, 2), 0);
        edit.repaint();
        Send(Sci::SCI_COLOURISE, 0, -1);
        // A click on the header's mark in the fold margin.
        const int x = static_cast<int>(Send(Sci::SCI_GETMARGINWIDTHN, 0) + Send(Sci::SCI_GETMARGINWIDTHN, 1) +
                                       Send(Sci::SCI_GETMARGINWIDTHN, 2) / 2);
        const int y = static_cast<int>(Send(Sci::SCI_POINTYFROMPOSITION, 0, LineStart(c.header))) + 3;
        QTest::mouseClick(edit.viewport(), Qt::LeftButton, {}, QPoint(x, y));
        Settle();
        for (int line = c.header + 1; line <= c.header + c.hidden; ++line)
            EXPECT_FALSE(Send(Sci::SCI_GETLINEVISIBLE, static_cast<unsigned long>(line))) << "line " << line;
        EXPECT_TRUE(Send(Sci::SCI_GETLINEVISIBLE, static_cast<unsigned long>(c.header)));
        EXPECT_EQ(Text(), c.text);
        // Selecting hidden text shows it.
        edit.SetSel(static_cast<int>(LineStart(c.header + 1)), 1);
        EXPECT_TRUE(Send(Sci::SCI_GETLINEVISIBLE, static_cast<unsigned long>(c.header + 1)));
    }
    // A fold whose header loses its brace gives its lines back.
    Load("void f() {\r\n  a();\r\n}\r\n");
    Send(Sci::SCI_COLOURISE, 0, -1);
    Send(Sci::SCI_FOLDLINE, 0, Sci::SC_FOLDACTION_CONTRACT);
    ASSERT_FALSE(Send(Sci::SCI_GETLINEVISIBLE, 1));
    edit.SetSel(9, 1);
    Press(Qt::Key_Delete);
    Send(Sci::SCI_COLOURISE, 0, -1);
    EXPECT_TRUE(Send(Sci::SCI_GETLINEVISIBLE, 1));
    EXPECT_EQ(Text(), "void f() \r\n  a();\r\n}\r\n");
    // Plain text has no fold margin.
    Load("{\r\n}", TSyntax::None);
    EXPECT_EQ(Send(Sci::SCI_GETMARGINWIDTHN, 2), 0);
}

TEST_F(RichLines, ZoomKeysChangeTheViewOnly)
{
    edit.SetLineNumbers(true);
    Load("a\r\nb");
    const long width = Send(Sci::SCI_GETMARGINWIDTHN, 0);
    Press(Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier);
    Press(Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(Send(Sci::SCI_GETZOOM), 2);
    EXPECT_GT(Send(Sci::SCI_GETMARGINWIDTHN, 0), width) << "the numbers grow with the text";
    Press(Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(Send(Sci::SCI_GETZOOM), 1);
    Press(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(Send(Sci::SCI_GETZOOM), 0);
    EXPECT_EQ(Send(Sci::SCI_GETMARGINWIDTHN, 0), width);
    EXPECT_EQ(Text(), "a\r\nb");
    EXPECT_FALSE(edit.Modified());
}

TEST_F(RichLines, AJumpsHighlightReadsAlikeFocusedOrNot)
{
    Load("one\r\ntwo\r\nthree\r\n", TSyntax::None);
    // The colour of the right end of a line, away from its text.
    auto colourOf = [this](int line) {
        const int y = static_cast<int>(Send(Sci::SCI_POINTYFROMPOSITION, 0, LineStart(line))) + 2;
        return edit.viewport()->grab().toImage().pixelColor(edit.viewport()->width() - 5, y);
    };
    const QColor plain = colourOf(2);
    edit.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
    edit.setFocus();
    edit.GoToLineColumn(1, 0);
    Settle();
    ASSERT_TRUE(edit.hasFocus());
    const QColor focused = colourOf(1);
    edit.clearFocus();
    Settle();
    const QColor unfocused = colourOf(1);
    EXPECT_EQ(focused, unfocused);
    EXPECT_NE(focused, plain);
    EXPECT_NE(focused, edit.palette().color(QPalette::Highlight)) << "not the selection's colour";
    // Off the line, the highlight goes and the current line is as before.
    edit.setFocus();
    edit.SetSel(static_cast<int>(LineStart(2)), 0);
    Settle();
    EXPECT_EQ(edit.HighlightedLine(), -1);
    EXPECT_NE(colourOf(2), focused);
}
