#include "cedit.h"
#include "editortest.h"
#include "exceptions.h"
#include "richedit.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace zj;
using namespace std::string_literals;

namespace {

class Editor : public EditorTest {};

} // namespace

TEST_F(Editor, UntitledCaptionsFollowTheKind)
{
    EXPECT_EQ(NewEditor(dtJava)->Caption(), "Untitled_1.java");
    EXPECT_EQ(NewEditor(dtHtml)->Caption(), "Untitled_2.html");
    TcwEdit* other = NewEditor(dtOther);
    EXPECT_EQ(other->Caption(), "Untitled_3.");
    EXPECT_TRUE(other->Untitled());
    EXPECT_TRUE(other->FileName().empty());
    EXPECT_FALSE(other->memText->Modified());
}

// An unchanged text is saved as the bytes read, whatever its breaks; a
// changed one gets the break of its file's first line throughout: LF after a
// lone LF, else CR LF. Enter types that break.
TEST_F(Editor, SavesKeepEveryByteAndTheFilesLineBreak)
{
    struct Case {
        const char* name;
        std::string original;
        bool utf8;
        std::string changed; // after Enter at the start and a save
    } cases[] = {
        {"mixed.txt", "\xef\xbb\xbfhead\0nul\r\nlatin\xe9\xff\x80\rlone cr\nlone lf\r\n\r\nlast"s, false,
         "\r\n\xef\xbb\xbfhead\0nul\r\nlatin\xe9\xff\x80\r\nlone cr\r\nlone lf\r\n\r\nlast"s},
        {"lf.java", "caf\xc3\xa9\nna\xc3\xafve\r\nx\ry\n", true, "\ncaf\xc3\xa9\nna\xc3\xafve\nx\ny\n"},
        {"cr.txt", "a\rb\n", true, "\r\na\r\nb\r\n"},
        {"none.txt", "no break", true, "\r\nno break"},
    };
    for (const Case& c : cases) {
        Put(Path(c.name), c.original);
        TcwEdit* editor = Open(Path(c.name));
        EXPECT_EQ(editor->memText->isUtf8(), c.utf8) << c.name;
        EXPECT_EQ(Text(editor), c.original) << c.name;
        ASSERT_TRUE(editor->Save());
        EXPECT_EQ(Get(Path(c.name)), c.original) << c.name << " unchanged";

        editor->memText->SetSel(0, 0);
        Type(editor, "\r");
        ASSERT_TRUE(editor->Save());
        EXPECT_EQ(Get(Path(c.name)), c.changed) << c.name << " changed";
        // The text kept its old breaks; the file has new ones, and a save
        // that changes nothing must not bring the old ones back.
        ASSERT_TRUE(editor->Save());
        EXPECT_EQ(Get(Path(c.name)), c.changed) << c.name << " saved again";
        editor->close();
    }

    // Written from either side of the last change, here inside a CR LF.
    Put(Path("split.txt"), "a\r\nb\n");
    TcwEdit* split = Open(Path("split.txt"));
    split->memText->SetSel(2, 0);
    split->memText->ReplaceSel("x");
    split->memText->SetSel(2, 1);
    split->memText->ReplaceSel("");
    ASSERT_TRUE(split->Save());
    EXPECT_EQ(Get(Path("split.txt")), "a\r\nb\r\n");

    TcwEdit* untitled = NewEditor(dtText);
    Type(untitled, "a\rb");
    saveNames.push_back(Path("new.txt"));
    ASSERT_TRUE(untitled->Save());
    EXPECT_EQ(Get(Path("new.txt")), "a\r\nb");
}

TEST_F(Editor, LoadFileTakesNameKindAndReadOnlyBox)
{
    std::filesystem::create_directory(dir / "work.java");
    Put(Path("work.java/readme"), "x");
    Put(Path("Page.HTML"), "<p>");
    Put(Path("Applet.java.bak"), "x");
    EXPECT_EQ(Open(Path("work.java/readme"))->DocType(), dtOther);
    TcwEdit* page = Open(Path("Page.HTML"));
    EXPECT_EQ(page->DocType(), dtHtml);
    EXPECT_EQ(page->Caption(), "Page.HTML");
    EXPECT_EQ(page->FileName(), Path("Page.HTML"));
    EXPECT_FALSE(page->Untitled());
    EXPECT_FALSE(page->memText->isReadOnly());
    EXPECT_EQ(Open(Path("Applet.java.bak"))->DocType(), dtOther);

    const int updatesBefore = updates;
    openReadOnly = true;
    EXPECT_TRUE(Open(Path("Page.HTML"))->memText->isReadOnly());
    EXPECT_GT(updates, updatesBefore) << "a load updates the command state";

    TcwEdit* missing = Open(Path("nothing.java"));
    EXPECT_EQ(missing->Caption(), "New");
    EXPECT_TRUE(missing->Untitled());
    EXPECT_EQ(missing->DocType(), dtOther);
}

TEST_F(Editor, UnreadableFileLeavesTheWindowNameless)
{
    // Exists, opens, and fails on the first read.
    TcwEdit* editor = Add(new TcwEdit(*this));
    try {
        editor->LoadFile("/proc/self/mem");
        FAIL() << "the load must fail";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(error.Message(), "Cannot open file /proc/self/mem");
    }
    EXPECT_TRUE(editor->Untitled());
    EXPECT_TRUE(editor->FileName().empty());
    EXPECT_EQ(editor->Caption(), "New");
    // A later Save asks for a name instead of writing over the file.
    saveNames.push_back(std::nullopt);
    EXPECT_FALSE(editor->Save());
}

TEST_F(Editor, SaveAsWritesAndTakesTheNewNameAndKind)
{
    TcwEdit* editor = NewEditor(dtJava);
    Type(editor, "class A {}");
    saveNames.push_back(Path("Hello.java"));
    EXPECT_TRUE(editor->SaveAs());
    EXPECT_EQ(Get(Path("Hello.java")), "class A {}");
    EXPECT_EQ(editor->Caption(), "Hello.java");
    EXPECT_EQ(editor->FileName(), Path("Hello.java"));
    EXPECT_FALSE(editor->memText->Modified());
    EXPECT_FALSE(editor->Untitled());

    saveNames.push_back(Path("page.htm"));
    EXPECT_TRUE(editor->SaveAs());
    EXPECT_EQ(editor->DocType(), dtHtml);
    EXPECT_EQ(editor->Caption(), "page.htm");
}

TEST_F(Editor, OverwriteQuestionAnswers)
{
    Put(Path("x.java"), "old");
    TcwEdit* editor = NewEditor(dtJava);
    Type(editor, "new");

    saveNames.push_back(Path("x.java"));
    answers.push_back(mrCancel);
    EXPECT_FALSE(editor->SaveAs());
    EXPECT_EQ(asked.back().Text, QString::fromStdString("OK to overwrite " + Path("x.java")));
    EXPECT_EQ(asked.back().Buttons,
              (std::vector<TMsgDlgBtn>{TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo, TMsgDlgBtn::mbCancel}));

    // No asks for another name; cancelling that dialog saves nothing.
    saveNames = {Path("x.java"), std::nullopt};
    answers.push_back(mrNo);
    EXPECT_FALSE(editor->SaveAs());
    EXPECT_TRUE(saveNames.empty());
    EXPECT_EQ(Get(Path("x.java")), "old");
    EXPECT_TRUE(editor->memText->Modified());
    EXPECT_EQ(editor->Caption(), "Untitled_1.java");
    saveNames = {Path("x.java"), Path("y.java")};
    answers.push_back(mrNo);
    EXPECT_TRUE(editor->SaveAs());
    EXPECT_EQ(Get(Path("y.java")), "new");
    EXPECT_EQ(Get(Path("x.java")), "old");

    saveNames.push_back(Path("x.java"));
    answers.push_back(mrYes);
    EXPECT_TRUE(editor->SaveAs());
    EXPECT_EQ(Get(Path("x.java")), "new");
    EXPECT_EQ(editor->Caption(), "x.java");
}

TEST_F(Editor, CloseQuestionsOfAnUntitledDocument)
{
    TcwEdit* unchanged = NewEditor(dtJava);
    EXPECT_TRUE(unchanged->close()) << "an unchanged document closes without a question";
    EXPECT_TRUE(asked.empty());

    TcwEdit* editor = NewEditor(dtJava);
    Type(editor, "x");
    answers.push_back(mrYes);
    saveNames.push_back(std::nullopt);
    EXPECT_FALSE(editor->close());
    EXPECT_EQ(asked.back().Text, "Save 'Untitled_2.java'?");
    EXPECT_EQ(asked.back().Buttons, (std::vector<TMsgDlgBtn>{TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo}));
    EXPECT_EQ(asked.back().DefaultButton, TMsgDlgBtn::mbYes);

    // No, Escape (No here) and the close box (Cancel) all close unsaved.
    for (TModalResult answer : {mrNo, mrCancel}) {
        TcwEdit* doc = NewEditor(dtText);
        Type(doc, "x");
        answers.push_back(answer);
        EXPECT_TRUE(doc->close());
    }
}

TEST_F(Editor, CloseQuestionsOfANamedDocument)
{
    Put(Path("a.txt"), "old");
    TcwEdit* editor = Open(Path("a.txt"));
    Type(editor, "new ");

    answers.push_back(mrCancel);
    EXPECT_FALSE(editor->close());
    EXPECT_EQ(asked.back().Text, QString::fromStdString("Save changes to " + Path("a.txt") + "?"));
    EXPECT_EQ(asked.back().EscapeButton, TMsgDlgBtn::mbCancel);

    answers.push_back(mrYes);
    EXPECT_TRUE(editor->close());
    EXPECT_EQ(Get(Path("a.txt")), "new old");

    TcwEdit* again = Open(Path("a.txt"));
    Type(again, "x");
    answers.push_back(mrNo);
    EXPECT_TRUE(again->close());
    EXPECT_EQ(Get(Path("a.txt")), "new old");
}

TEST_F(Editor, SetDocTypeRenamesCaptionAndFile)
{
    Put(Path("A.java"), "class A {}");
    TcwEdit* named = Open(Path("A.java"));
    named->SetDocType(dtJava);
    EXPECT_FALSE(named->memText->Modified()) << "the same kind changes nothing";
    named->SetDocType(dtHtml);
    EXPECT_EQ(named->Caption(), "A.html");
    EXPECT_EQ(named->FileName(), Path("A.html"));
    EXPECT_TRUE(named->memText->Modified());
    named->Save();
    EXPECT_EQ(Get(Path("A.java")), "class A {}") << "the old file stays";
    EXPECT_EQ(Get(Path("A.html")), "class A {}");

    TcwEdit* untitled = NewEditor(dtJava);
    untitled->SetDocType(dtText);
    EXPECT_EQ(untitled->Caption(), "Untitled_1.txt");
    untitled->SetDocType(dtOther);
    EXPECT_EQ(untitled->Caption(), "Untitled_1.");
    EXPECT_TRUE(untitled->FileName().empty());
}

TEST_F(Editor, FailedSaveKeepsTheOldFileAndTheModifiedState)
{
    Put(Path("keep.txt"), "old content");
    TcwEdit* editor = Open(Path("keep.txt"));
    editor->memText->insert(QString(8192, QLatin1Char('y')));

    // The kernel refuses writes past the limit as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(editor->Save(), EWriteError);
    ::setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(Get(Path("keep.txt")), "old content");
    EXPECT_TRUE(editor->memText->Modified());

    // A folder in the way of Save As.
    std::filesystem::create_directory(dir / "folder.txt");
    saveNames.push_back(Path("folder.txt"));
    EXPECT_THROW(editor->SaveAs(), EFCreateError);
    EXPECT_TRUE(editor->memText->Modified());
}

TEST_F(Editor, FailedSaveDuringCloseKeepsTheWindowOpen)
{
    Put(Path("x.txt"), "old");
    TcwEdit* editor = Open(Path("x.txt"));
    Type(editor, "new");
    std::filesystem::remove(Path("x.txt"));
    std::filesystem::create_directory(Path("x.txt"));
    answers.push_back(mrYes); // save changes?
    answers.push_back(mrOk);  // the error box
    EXPECT_FALSE(editor->close());
    EXPECT_TRUE(asked.back().IsError);
    EXPECT_EQ(asked.back().Caption, "Zorvane Java Editor");
    EXPECT_EQ(asked.back().Text, QString::fromStdString("Cannot create file " + Path("x.txt") + "."));
}

TEST_F(Editor, ContextMenuFollowsSelectionAndClipboard)
{
    TcwEdit* editor = NewEditor(dtText);
    Type(editor, "hello");
    QApplication::clipboard()->clear();
    editor->mnpTextPopup();
    EXPECT_FALSE(editor->mnpTextCut->isEnabled());
    EXPECT_FALSE(editor->mnpTextCopy->isEnabled());
    EXPECT_FALSE(editor->mnpTextDelete->isEnabled());
    EXPECT_FALSE(editor->mnpTextPaste->isEnabled());

    editor->memText->SetSel(0, 4);
    editor->doCopy();
    editor->mnpTextPopup();
    EXPECT_TRUE(editor->mnpTextCut->isEnabled());
    EXPECT_TRUE(editor->mnpTextPaste->isEnabled());
    editor->doDelete();
    EXPECT_EQ(Text(editor), "o");
    editor->doPaste();
    EXPECT_EQ(Text(editor), "hello");
    editor->Undo();
    EXPECT_EQ(Text(editor), "o");
}

TEST_F(Editor, CaretIsRememberedOnSelectionChanges)
{
    TcwEdit* editor = NewEditor(dtText);
    Type(editor, "abcdef");
    editor->memText->SetSel(3, 2);
    Settle();
    EXPECT_EQ(editor->SavedCaret, 3);
}

// An 8-bit document holds Latin-1 only: a character beyond it, typed,
// composed or pasted, is refused with the beep, never stored as another.
TEST_F(Editor, An8BitTextRefusesCharactersItCannotHold)
{
    const auto type = [](TcwEdit* editor, const QString& text) {
        QTest::sendKeyEvent(QTest::Click, editor->memText->viewport(),
                            static_cast<Qt::Key>(text[0].toUpper().unicode()), text, Qt::NoModifier);
    };
    Put(Path("latin.txt"), "caf\xe9");
    TcwEdit* latin = Open(Path("latin.txt"));
    ASSERT_FALSE(latin->memText->isUtf8());
    latin->memText->SetSel(4, 0);
    type(latin, QStringLiteral("\u20ac"));
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("\u0153"));
    QApplication::sendEvent(latin->memText, &composed);
    QApplication::clipboard()->setText(QStringLiteral("x\u20acy"));
    latin->doPaste();
    QTest::keyClick(latin->memText->viewport(), Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(Text(latin), "caf\xe9");
    EXPECT_FALSE(latin->memText->Modified());
    EXPECT_EQ(beeps, 4);

    type(latin, QStringLiteral("\u00e8"));
    QApplication::clipboard()->setText(QStringLiteral("\u00e0!"));
    latin->doPaste();
    EXPECT_EQ(Text(latin), "caf\xe9\xe8\xe0!");

    TcwEdit* unicode = NewEditor(dtText);
    type(unicode, QStringLiteral("\u20ac"));
    EXPECT_EQ(Text(unicode), "\xe2\x82\xac");
    EXPECT_EQ(beeps, 4);
}
