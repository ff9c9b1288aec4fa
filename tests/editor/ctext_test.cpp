// The look of the text and the typing aids: colours by kind, the editor font,
// indentation and braces. None of them may change a byte of a document.
#include "cedit.h"
#include "editortest.h"
#include "richedit.h"

#include <Qsci/qscilexerhtml.h>
#include <Qsci/qscilexerjava.h>

#include <QImage>
#include <QTest>

#include <algorithm>
#include <set>

using namespace zj;
using namespace std::string_literals;

namespace {

class Text : public EditorTest {
protected:
    static long Send(TcwEdit* editor, unsigned int message, unsigned long w = 0, long l = 0)
    {
        return editor->memText->SendScintilla(message, w, l);
    }
    // The style Scintilla gave the first byte of word, once shown.
    static int StyleOf(TcwEdit* editor, const std::string& word)
    {
        const std::size_t at = Text::Bytes(editor).find(word);
        EXPECT_NE(at, std::string::npos) << word;
        editor->memText->SendScintilla(TRichEdit::SCI_COLOURISE, 0UL, -1L);
        return static_cast<int>(Send(editor, TRichEdit::SCI_GETSTYLEAT, at));
    }
    static std::string Bytes(TcwEdit* editor) { return UiTest::Text(editor); }
    static void Key(TcwEdit* editor, Qt::Key key)
    {
        QTest::keyClick(editor->memText->viewport(), key);
        Settle();
    }
    // Whether colour is painted in the cell of the byte at pos.
    static bool Painted(TcwEdit* editor, int pos, QRgb colour)
    {
        const QImage image = editor->memText->viewport()->grab().toImage();
        const auto left = static_cast<int>(Send(editor, TRichEdit::SCI_POINTXFROMPOSITION, 0, pos));
        const auto right = static_cast<int>(Send(editor, TRichEdit::SCI_POINTXFROMPOSITION, 0, pos + 1));
        const auto top = static_cast<int>(Send(editor, TRichEdit::SCI_POINTYFROMPOSITION, 0, pos));
        const auto height = static_cast<int>(Send(editor, TRichEdit::SCI_TEXTHEIGHT, 0));
        for (int y = top; y < top + height; ++y)
            for (int x = left; x < right; ++x)
                if ((image.pixel(x, y) & 0xffffff) == (colour & 0xffffff))
                    return true;
        return false;
    }
};

const char* LexerName(TcwEdit* editor)
{
    QsciLexer* lexer = editor->memText->lexer();
    return lexer ? lexer->language() : "none";
}

} // namespace

TEST_F(Text, ColoursFollowTheKindAtOnce)
{
    Put(Path("Page.html"), "<p class=\"x\">a</p><script>var y = 1; // c\r\n</script>\r\n");
    TcwEdit* page = Open(Path("Page.html"));
    EXPECT_STREQ(LexerName(page), "HTML");
    EXPECT_EQ(StyleOf(page, "p class"), QsciLexerHTML::Tag);
    EXPECT_EQ(StyleOf(page, "class"), QsciLexerHTML::Attribute);
    EXPECT_EQ(StyleOf(page, "var"), QsciLexerHTML::JavaScriptKeyword);
    EXPECT_EQ(StyleOf(page, "// c"), QsciLexerHTML::JavaScriptCommentLine);

    // The selector's change, then Save As under other names.
    page->SetDocType(dtJava);
    EXPECT_STREQ(LexerName(page), "Java");
    saveNames = {Path("Page.txt"), Path("Page.htm"), Path("Page")};
    const char* after[] = {"none", "HTML", "none"};
    for (const char* lexer : after) {
        page->SaveAs();
        EXPECT_STREQ(LexerName(page), lexer) << page->Caption().toStdString();
    }
    EXPECT_EQ(StyleOf(page, "var"), 0) << "plain text has one style";

    TcwEdit* java = NewEditor(dtJava);
    Type(java, "public class A { String s = \"x\"; int n = 42; /* c */ }");
    EXPECT_EQ(StyleOf(java, "public"), QsciLexerJava::Keyword);
    EXPECT_EQ(StyleOf(java, "\"x\""), QsciLexerJava::DoubleQuotedString);
    EXPECT_EQ(StyleOf(java, "42"), QsciLexerJava::Number);
    EXPECT_EQ(StyleOf(java, "/* c"), QsciLexerJava::Comment);
    // Keywords, strings, comments and numbers each in a colour of their own.
    std::set<long> colours;
    for (int style : {0, 5, 6, 1, 4})
        colours.insert(Send(java, TRichEdit::SCI_STYLEGETFORE, static_cast<unsigned long>(style)));
    EXPECT_EQ(colours.size(), 5u);
    EXPECT_STREQ(LexerName(NewEditor(dtText)), "none");
    EXPECT_STREQ(LexerName(NewEditor(dtOther)), "none");
}

// Load, colour everything, save: the bytes are those read.
TEST_F(Text, EveryLexerLeavesTheBytesAsTheyWere)
{
    const std::string mixed = "<p>\0nul\r\nlatin\xe9\xff\x80\r\"str{\n/* x */ class A {\r\n\t<b>&amp;\n"s;
    const std::string utf8 = "caf\xc3\xa9 { \"\xe2\x82\xac\" }\n<i>na\xc3\xafve</i>\r\n";
    for (const std::string& original : {mixed, utf8}) {
        for (const char* name : {"a.java", "a.html", "a.txt", "a"}) {
            Put(Path(name), original);
            TcwEdit* editor = Open(Path(name));
            editor->memText->SendScintilla(TRichEdit::SCI_COLOURISE, 0UL, -1L);
            Settle();
            EXPECT_EQ(editor->memText->isUtf8(), original == utf8) << name;
            EXPECT_EQ(Bytes(editor), original) << name;
            ASSERT_TRUE(editor->Save());
            EXPECT_EQ(Get(Path(name)), original) << name;
            editor->SetDocType(editor->DocType() == dtJava ? dtHtml : dtJava);
            EXPECT_EQ(Bytes(editor), original) << name << " after a change of kind";
            editor->memText->SetModified(false);
            editor->close();
        }
    }
}

// QScintilla resets styles when its lexer changes: what the control was set
// up with must survive, and every style keeps the editor font.
TEST_F(Text, LexerChangesKeepTheControlsSettingsAndTheFont)
{
    Put(Path("latin.txt"), "caf\xe9\n");
    TcwEdit* editor = Open(Path("latin.txt"));
    TRichEdit* text = editor->memText;
    editor->SetEditorFont(QFont("DejaVu Serif", 13));
    const unsigned int settings[] = {TRichEdit::SCI_GETCODEPAGE,
                                     TRichEdit::SCI_GETEOLMODE,
                                     TRichEdit::SCI_GETSCROLLWIDTHTRACKING,
                                     TRichEdit::SCI_GETLAYOUTCACHE,
                                     TRichEdit::SCI_GETMODEVENTMASK,
                                     TRichEdit::SCI_GETPASTECONVERTENDINGS,
                                     TRichEdit::SCI_GETTABWIDTH,
                                     TRichEdit::SCI_GETCARETLINEVISIBLE,
                                     TRichEdit::SCI_GETCARETLINEBACK,
                                     TRichEdit::SCI_GETCARETFORE};
    std::vector<long> before;
    for (unsigned int message : settings)
        before.push_back(text->SendScintilla(message));
    std::vector<long> margins;
    for (unsigned long margin = 0; margin < 5; ++margin)
        margins.push_back(text->SendScintilla(TRichEdit::SCI_GETMARGINWIDTHN, margin));
    EXPECT_EQ(before[6], 4) << "tabs four columns wide";

    for (TDocType kind : {dtJava, dtHtml, dtText, dtHtml, dtJava, dtOther}) {
        editor->SetDocType(kind);
        for (std::size_t i = 0; i < std::size(settings); ++i)
            EXPECT_EQ(text->SendScintilla(settings[i]), before[i]) << "setting " << i << " in kind " << int(kind);
        // The fold margin shows where a lexer works out the folds.
        for (unsigned long margin = 0; margin < 5; ++margin) {
            if (margin != 2) {
                EXPECT_EQ(text->SendScintilla(TRichEdit::SCI_GETMARGINWIDTHN, margin), margins[margin]);
            }
        }
        EXPECT_EQ(text->SendScintilla(TRichEdit::SCI_GETMARGINWIDTHN, 2UL) > 0, text->lexer() != nullptr);
        for (int style = 0; style <= TRichEdit::STYLE_MAX; ++style) {
            if (text->lexer() && text->lexer()->description(style).isEmpty() && style != TRichEdit::STYLE_DEFAULT &&
                style != TRichEdit::STYLE_LINENUMBER)
                continue;
            char family[64] = {};
            text->SendScintilla(TRichEdit::SCI_STYLEGETFONT, static_cast<unsigned long>(style), family);
            ASSERT_STREQ(family, "DejaVu Serif") << "style " << style << " in kind " << int(kind);
            ASSERT_EQ(text->SendScintilla(TRichEdit::SCI_STYLEGETSIZEFRACTIONAL, static_cast<unsigned long>(style)),
                      1300);
        }
    }
    EXPECT_EQ(Bytes(editor), "caf\xe9\n");
    // A tab is four blanks wide on the screen, and stays one byte.
    editor->memText->SetSel(0, 0);
    Type(editor, "\tx");
    EXPECT_EQ(text->SendScintilla(TRichEdit::SCI_POINTXFROMPOSITION, 0UL, 1L) -
                  text->SendScintilla(TRichEdit::SCI_POINTXFROMPOSITION, 0UL, 0L),
              text->SendScintilla(TRichEdit::SCI_TEXTWIDTH, uintptr_t{TRichEdit::STYLE_DEFAULT}, "    "));
    EXPECT_EQ(Bytes(editor), "\txcaf\xe9\n");
}

// Typed through the keys: Enter copies the previous line's blanks as they
// are; Java adds a level after an opening brace and lines a closing brace up
// with its opening line.
TEST_F(Text, EnterKeepsTheIndentation)
{
    struct Case {
        TDocType kind;
        std::vector<const char*> lines; // typed, each followed by Enter but the last
        std::string text;
    };
    const Case cases[] = {
        {dtText, {"\t  a {", "b"}, "\t  a {\r\n\t  b"},
        {dtHtml, {"  <p>", "x"}, "  <p>\r\n  x"},
        {dtJava, {"class A {", "int x;"}, "class A {\r\n\tint x;"},
        {dtJava, {"    void f() {", "g();"}, "    void f() {\r\n        g();"},
        {dtJava, {"\tif (a) { // go", "b();"}, "\tif (a) { // go\r\n\t\tb();"},
        {dtJava, {"s = \"{\";", "t"}, "s = \"{\";\r\nt"},
        {dtJava, {"// {", "t"}, "// {\r\nt"},
        {dtJava, {"\tvoid f() {", "x();", "}"}, "\tvoid f() {\r\n\t\tx();\r\n\t}"},
        {dtJava, {"a {", "b {", "}", "}"}, "a {\r\n\tb {\r\n\t}\r\n}"},
        {dtText, {"\tx", "}"}, "\tx\r\n\t}"},
    };
    for (const Case& c : cases) {
        TcwEdit* editor = NewEditor(c.kind);
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            if (i > 0)
                Key(editor, Qt::Key_Return);
            Type(editor, c.lines[i]);
        }
        EXPECT_EQ(Bytes(editor), c.text);
        editor->memText->SetModified(false);
        editor->close();
    }
    // Enter between a pair of braces puts the closing one under the opening line.
    TcwEdit* editor = NewEditor(dtJava);
    Type(editor, "\tm() {}");
    editor->memText->SetSel(editor->memText->Length() - 1, 0);
    Key(editor, Qt::Key_Return);
    EXPECT_EQ(Bytes(editor), "\tm() {\r\n\t}");
    editor->memText->SetModified(false);
}

TEST_F(Text, BracesAndTheirPartnersAreShown)
{
    const QRgb light = qRgb(0xcc, 0xe4, 0xff), bad = qRgb(0xff, 0xd8, 0xd8);
    TcwEdit* editor = NewEditor(dtJava);
    Type(editor, "f(a[1], \"(\") { g(); } (");
    const std::string text = Bytes(editor);
    const int open = static_cast<int>(text.find('(')), close = static_cast<int>(text.find(')'));
    const int quoted = static_cast<int>(text.find("(\"")), last = static_cast<int>(text.rfind('('));
    const int comma = static_cast<int>(text.find(','));
    struct Case {
        int caret;
        std::vector<int> lit; // the bytes drawn as a matched pair
        int unmatched;
    };
    const Case cases[] = {
        {open + 1, {open, close}, -1},  // after a brace
        {open, {open, close}, -1},      // before one, none behind the caret
        {close, {open, close}, -1},     // at the closing one
        {quoted + 1, {}, -1},           // in a string: not a brace of the code
        {comma + 1, {}, -1},            // nowhere near one
        {last + 1, {}, last},           // unmatched
    };
    for (const Case& c : cases) {
        Select(editor, c.caret, 0);
        for (int pos : {open, close, last}) {
            const bool lit = std::find(c.lit.begin(), c.lit.end(), pos) != c.lit.end();
            EXPECT_EQ(Painted(editor, pos, light), lit) << "caret " << c.caret << ", byte " << pos;
            EXPECT_EQ(Painted(editor, pos, bad), pos == c.unmatched) << "caret " << c.caret << ", byte " << pos;
        }
    }
    editor->memText->SetModified(false);
}

// Scintilla styles a changed line from its start: a huge line stays plain,
// so typing in it does not restyle megabytes at every key.
TEST_F(Text, AHugeLineKeepsTheTextPlain)
{
    const std::string page = "<p>short</p>\n";
    Put(Path("min.html"), page + std::string(600u << 10, 'x') + "\n" + page);
    Put(Path("page.html"), page + std::string(200u << 10, 'x') + "\n" + page);
    TcwEdit* minified = Open(Path("min.html"));
    EXPECT_STREQ(LexerName(minified), "none");
    EXPECT_EQ(minified->memText->Syntax(), TSyntax::Html);
    minified->SetDocType(dtJava);
    EXPECT_STREQ(LexerName(minified), "none");
    EXPECT_STREQ(LexerName(Open(Path("page.html"))), "HTML");
    minified->memText->SetModified(false);
}

// Colours reach the whole text while the program is idle, and follow the
// edits made meanwhile.
TEST_F(Text, ColoursFillInWhileIdle)
{
    std::string source;
    while (source.size() < (2u << 20))
        source += "class A { int n = 42; }\r\n";
    source += "public\r\n";
    Put(Path("Big.java"), source);
    TcwEdit* editor = Open(Path("Big.java"));
    // The style of the last word, once the whole text is styled.
    auto styleAtEnd = [&](int style) {
        return QTest::qWaitFor([&] {
            const int length = editor->memText->Length();
            return Send(editor, TRichEdit::SCI_GETENDSTYLED) >= length
                   && Send(editor, TRichEdit::SCI_GETSTYLEAT, static_cast<unsigned long>(length - 8)) == style;
        }, 10000);
    };
    EXPECT_LT(Send(editor, TRichEdit::SCI_GETENDSTYLED), editor->memText->Length() / 2) << "styled at open";
    EXPECT_TRUE(styleAtEnd(QsciLexerJava::Keyword));

    // A comment opened at the start, while the text after it is uncoloured.
    QTest::keyClick(editor->memText->viewport(), Qt::Key_Home, Qt::ControlModifier);
    Type(editor, "/*");
    EXPECT_TRUE(styleAtEnd(QsciLexerJava::Comment));
    Type(editor, "*/");
    EXPECT_TRUE(styleAtEnd(QsciLexerJava::Keyword));
    editor->memText->SetModified(false);
}
