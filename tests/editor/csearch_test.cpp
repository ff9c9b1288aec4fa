#include "cedit.h"
#include "editortest.h"
#include "richedit.h"

using namespace zj;

namespace {

class Search : public EditorTest {
protected:
    TcwEdit* Doc(const std::string& bytes)
    {
        TcwEdit* editor = NewEditor(dtText);
        editor->memText->LoadBytes(bytes);
        Settle();
        return editor;
    }
    QString Status() const { return status; }
    using P = std::pair<int, int>;
};

} // namespace

TEST_F(Search, FindNextPassesOverTheSelectionAndWrapsOnce)
{
    TcwEdit* editor = Doc("abc xabc Abc");
    Select(editor, 12, 0);
    EXPECT_TRUE(editor->FindNext("abc", false, false));
    EXPECT_EQ(Selection(editor), P(0, 3)) << "wrapped silently";
    EXPECT_TRUE(editor->FindNext("abc", false, false));
    EXPECT_EQ(Selection(editor), P(5, 3));
    EXPECT_EQ(editor->SavedCaret, 5) << "the search's own moves are remembered at once";
    // A selected Abc is passed over even when the case matters.
    Select(editor, 9, 3);
    EXPECT_TRUE(editor->FindNext("abc", false, true));
    EXPECT_EQ(Selection(editor), P(0, 3));
    // Inside some other selection the search starts at its start.
    Select(editor, 4, 4);
    EXPECT_TRUE(editor->FindNext("abc", false, false));
    EXPECT_EQ(Selection(editor), P(5, 3));
    EXPECT_TRUE(Status().isEmpty());
    EXPECT_EQ(beeps, 0);

    TcwEdit* words = Doc("abc ab");
    EXPECT_TRUE(words->FindNext("ab", true, false));
    EXPECT_EQ(Selection(words), P(4, 2));

    // Not found after a wrap: the caret ends at the start.
    Select(words, 5, 0);
    EXPECT_FALSE(words->FindNext("zz", false, false));
    EXPECT_EQ(Selection(words), P(0, 0));
    EXPECT_EQ(Status(), "Can't find 'zz'");
    EXPECT_EQ(beeps, 1);
}

TEST_F(Search, RepeatedFindNextMovesOnBeyondAscii)
{
    // é É é in UTF-8: the case-insensitive search calls all three equal.
    TcwEdit* editor = Doc("\xc3\xa9 \xc3\x89 \xc3\xa9");
    for (int start : {0, 3, 6, 0}) {
        EXPECT_TRUE(editor->FindNext(QStringLiteral("\u00e9"), false, false));
        EXPECT_EQ(Selection(editor), P(start, 2));
    }
    // An 8-bit document is searched in Latin-1; a character it cannot hold
    // is nowhere in it, not even where '?' stands.
    TcwEdit* latin = Doc("caf\xe9 ?");
    EXPECT_FALSE(latin->memText->isUtf8());
    EXPECT_TRUE(latin->FindNext(QStringLiteral("\u00c9"), false, false));
    EXPECT_EQ(Selection(latin), P(3, 1));
    EXPECT_FALSE(latin->FindNext(QStringLiteral("\u20ac"), false, false));
}

TEST_F(Search, SingleReplaceOnlyReplacesAMatchingSelection)
{
    TcwEdit* editor = Doc("abc abc");
    const TFindOptions replace = frDown | frReplace;
    editor->Replace("ABC", "x", replace);
    EXPECT_EQ(Text(editor), "abc abc") << "nothing selected";
    Select(editor, 4, 3);
    editor->Replace("ABC", "x", replace | frMatchCase);
    EXPECT_EQ(Text(editor), "abc abc");
    EXPECT_EQ(Selection(editor), P(4, 3)) << "no search for the next one";
    editor->Replace("ABC", "x", replace);
    EXPECT_EQ(Text(editor), "abc x");
    EXPECT_EQ(Selection(editor), P(5, 0));
    EXPECT_TRUE(editor->memText->Modified());
    EXPECT_TRUE(Status().isEmpty());
}

TEST_F(Search, ReplaceAllMakesOnePassFromTheStart)
{
    TcwEdit* editor = Doc("Ab ab abc ab");
    Select(editor, 12, 0);
    editor->Replace("ab", "x", frDown | frReplaceAll | frMatchCase | frWholeWord);
    EXPECT_EQ(Text(editor), "Ab x abc x");
    EXPECT_EQ(Selection(editor), P(0, 0));
    EXPECT_EQ(editor->SavedCaret, 0);
    EXPECT_EQ(Status(), "Done Replacing 'ab' with 'x.'");
    EXPECT_EQ(beeps, 2);

    // Replacements that contain what they replace end, and each Replace All
    // is undone in one step.
    TcwEdit* loop = Doc("a a\r\na");
    Select(loop, 2, 1);
    loop->Replace("A", "ab", frDown | frReplaceAll);
    EXPECT_EQ(Text(loop), "ab ab\r\nab") << "the selected one first, then the others, once each";
    loop->Replace("ab", "ab", frDown | frReplaceAll | frWholeWord);
    EXPECT_EQ(Text(loop), "ab ab\r\nab");
    loop->Undo();
    EXPECT_EQ(Text(loop), "ab ab\r\nab");
    loop->Undo();
    EXPECT_EQ(Text(loop), "a a\r\na");
    EXPECT_EQ(beeps, 6);

    // Nothing to replace in a read-only text either: it ends the same way.
    TcwEdit* locked = Doc("a a");
    locked->memText->setReadOnly(true);
    Select(locked, 0, 1);
    locked->Replace("a", "b", frDown | frReplaceAll);
    EXPECT_EQ(Text(locked), "a a");
    EXPECT_EQ(Status(), "Done Replacing 'a' with 'b.'");
}

// An 8-bit document holds only Latin-1: a replacement beyond it is refused
// with a word and the beep, the text left as it was.
TEST_F(Search, AReplacementTheDocumentCannotHoldIsRefused)
{
    const QString euro = QStringLiteral("\u20ac");
    for (const TFindOptions button : {TFindOptions(frReplace), TFindOptions(frReplaceAll)}) {
        TcwEdit* editor = Doc("caf\xe9 au lait, caf\xe9");
        Select(editor, 0, 4);
        status.clear();
        beeps = 0;
        editor->Replace(QStringLiteral("caf\u00e9"), euro, frDown | button);
        EXPECT_EQ(Text(editor), "caf\xe9 au lait, caf\xe9");
        EXPECT_FALSE(editor->memText->Modified());
        EXPECT_EQ(Status().toStdString(), "Can't replace with '\u20ac': the document cannot hold it.");
        EXPECT_EQ(beeps, 1);

        // What Latin-1 holds is replaced as ever.
        editor->Replace(QStringLiteral("CAF\u00c9"), QStringLiteral("th\u00e9"), frDown | button);
        EXPECT_EQ(Text(editor).substr(0, 4), "th\xe9 ");
    }
}
