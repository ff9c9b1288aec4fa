// The everyday keys, the status bar's fields, word completion and the
// compiler offered when none is set, through the keys a person presses.
#include "cedit.h"
#include "compiletest.h"
#include "fmain.h"
#include "registry.h"
#include "zidarodadefs.h"

#include <QLabel>
#include <QTest>

#include <cstdlib>

using namespace zj;

namespace {

using Sci = QsciScintillaBase;

class Keys : public CompileTest {
protected:
    static void Press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(target, key, modifiers);
        Settle();
    }
    // The status bar's fields, once they have caught up with the caret.
    ::testing::AssertionResult Fields(const QString& caret, const QString& modified) const
    {
        auto* lblCaret = Child<QLabel>(frame, "lblCaret");
        auto* lblModified = Child<QLabel>(frame, "lblModified");
        for (int i = 0; i < 40 && (lblCaret->text() != caret || lblModified->text() != modified); ++i)
            QTest::qWait(5);
        if (lblCaret->text() == caret && lblModified->text() == modified)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "\"" << lblCaret->text().toStdString() << "\" \""
                                             << lblModified->text().toStdString() << "\"";
    }
};

// PATH for the length of a test.
class SearchPath {
public:
    explicit SearchPath(const std::string& path) : old_(std::getenv("PATH") ? std::getenv("PATH") : "")
    {
        ::setenv("PATH", path.c_str(), 1);
    }
    ~SearchPath() { ::setenv("PATH", old_.c_str(), 1); }
    SearchPath(const SearchPath&) = delete;
    SearchPath& operator=(const SearchPath&) = delete;

private:
    std::string old_;
};

} // namespace

TEST_F(Keys, StatusFieldsFollowTheCaretTheEditsAndTheActiveWindow)
{
    EXPECT_TRUE(Fields("", ""));
    TcwEdit* first = NewEditor(dtJava);
    EXPECT_TRUE(Fields("Ln 1, Col 1", ""));
    first->memText->setFocus();
    QTest::keyClicks(first->memText, "ab\tc");
    Settle();
    EXPECT_TRUE(Fields("Ln 1, Col 6", "Modified")) << "a tab counts to the next stop";
    Press(first->memText, Qt::Key_Return);
    EXPECT_TRUE(Fields("Ln 2, Col 1", "Modified"));
    Press(first->memText, Qt::Key_Up);
    Press(first->memText, Qt::Key_End);
    Press(first->memText, Qt::Key_Left);
    EXPECT_TRUE(Fields("Ln 1, Col 5", "Modified"));

    TcwEdit* second = OpenSaved("B.txt", "one\ntwo\n");
    EXPECT_TRUE(Fields("Ln 1, Col 1", ""));
    second->memText->SetSel(6, 0); // the file's own LF breaks are kept
    Settle();
    EXPECT_TRUE(Fields("Ln 2, Col 3", ""));
    frame->cmbDocTypeChange(); // unchanged kind: nothing
    second->SetDocType(dtJava);
    EXPECT_TRUE(Fields("Ln 2, Col 3", "Modified"));
    Press(second->memText, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(Fields("Ln 2, Col 3", ""));

    // Large numbers are shown whole.
    TcwEdit* third = OpenSaved("C.txt", std::string(100000, '\n') + std::string(10000, 'x'));
    third->memText->SetSel(third->memText->Length(), 0);
    Settle();
    EXPECT_TRUE(Fields("Ln 100001, Col 10001", ""));
    auto* lblCaret = Child<QLabel>(frame, "lblCaret");
    EXPECT_LE(lblCaret->fontMetrics().horizontalAdvance(lblCaret->text()), lblCaret->contentsRect().width());

    first->setFocus();
    frame->findChild<QMdiArea*>()->setActiveSubWindow(first);
    Settle();
    EXPECT_TRUE(Fields("Ln 1, Col 5", "Modified"));
    first->memText->SetModified(false);
    for (TcwEdit* editor : frame->EditorWindows())
        editor->close();
    Settle();
    EXPECT_TRUE(Fields("", ""));
}

TEST_F(Keys, FileKeysDoWhatTheirMenuItemsDoWhileTheyAreEnabled)
{
    // Ctrl+N: the kind the selector shows, Java while it shows none.
    Press(frame, Qt::Key_N, Qt::ControlModifier);
    ASSERT_NE(frame->ActiveEditor(), nullptr);
    EXPECT_EQ(frame->ActiveEditor()->Caption(), "Untitled_1.java");
    frame->ActiveEditor()->SetDocType(dtHtml);
    frame->ActiveEditor()->memText->SetModified(false);
    frame->UpdateMenuItems();
    Press(frame->ActiveEditor()->memText, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(frame->ActiveEditor()->Caption(), "Untitled_2.html");

    // Ctrl+P and Ctrl+Shift+S: nothing for an empty document's disabled
    // Print; Save As as the menu runs it.
    TcwEdit* editor = frame->ActiveEditor();
    Press(editor->memText, Qt::Key_P, Qt::ControlModifier);
    Type(editor, "<p>");
    printFiles.push_back(Path("page.pdf"));
    Press(editor->memText, Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(std::filesystem::exists(Path("page.pdf")));
    saveNames.push_back(Path("page"));
    Press(editor->memText, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Get(Path("page.html")), "<p>");

    // Ctrl+O.
    Put(Path("other.txt"), "other");
    openNames.push_back(Path("other.txt"));
    Press(editor->memText, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(frame->ActiveEditor()->FileName(), Path("other.txt"));
    EXPECT_TRUE(openNames.empty() && saveNames.empty() && printFiles.empty());
}

TEST_F(Keys, RedoIsEnabledOnlyWithSomethingToRedo)
{
    QAction* redo = Item("mnuEditRedo");
    TcwEdit* editor = NewEditor(dtText);
    EXPECT_FALSE(redo->isEnabled());
    Type(editor, "abc");
    Press(editor->memText, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Text(editor), "");
    EXPECT_TRUE(redo->isEnabled());
    Press(editor->memText, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Text(editor), "abc");
    EXPECT_FALSE(redo->isEnabled());
    // Disabled, the key does the control's own Redo, which finds nothing.
    Press(editor->memText, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Text(editor), "abc");
    editor->memText->SetModified(false);
}

TEST_F(Keys, CtrlSpaceCompletesFromEveryOpenDocumentAndTheKeywords)
{
    OpenSaved("Other.java", "int counterValue, countdown;\n");
    TcwEdit* editor = NewEditor(dtJava);
    TRichEdit* text = editor->memText;
    Type(editor, "cou");
    EXPECT_FALSE(text->SendScintilla(Sci::SCI_AUTOCACTIVE)) << "never by itself";
    Press(text, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(text->SendScintilla(Sci::SCI_AUTOCACTIVE));
    Press(text, Qt::Key_Escape);
    EXPECT_FALSE(text->SendScintilla(Sci::SCI_AUTOCACTIVE));
    EXPECT_EQ(Text(editor), "cou");
    // The list is in order, countdown first.
    Press(text, Qt::Key_Space, Qt::ControlModifier);
    Press(text, Qt::Key_Return);
    EXPECT_EQ(Text(editor), "countdown");

    // One word fits: it is taken at once, in its own case; a keyword too.
    Type(editor, " COUNTERv");
    Press(text, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(Text(editor), "countdown counterValue");
    Type(editor, " synch");
    Press(text, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(Text(editor), "countdown counterValue synchronized");
    // Nothing to offer: a beep, no list, no change.
    Type(editor, " zzq");
    Press(text, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_FALSE(text->SendScintilla(Sci::SCI_AUTOCACTIVE));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(Text(editor), "countdown counterValue synchronized zzq");
    text->SetModified(false);
}

TEST_F(Keys, F9WithoutACompilerOffersTheOneOnTheSearchPath)
{
    std::filesystem::create_directories(dir / "jdk");
    std::filesystem::create_directories(dir / "here");
    const std::string javac = FakeCompiler("jdk/javac", "");
    FakeCompiler("here/javac", "");
    TcwEdit* editor = OpenSaved("A.java", "class A {}");
    EXPECT_FALSE(Button("cmdJava")->isEnabled());
    {
        // A relative folder on the path does not count.
        SearchPath path("here:" + Path("nothing") + ":" + Path("jdk"));
        const QString question = QString::fromStdString("No Java compiler is set. Use '" + javac + "'?");

        answers.push_back(mrCancel);
        Press(editor->memText, Qt::Key_F9);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].Text, question);
        EXPECT_EQ(asked[0].Buttons, (std::vector<TMsgDlgBtn>{TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel}));
        EXPECT_TRUE(JavaCompilerPath.empty());
        EXPECT_FALSE(std::filesystem::exists(Path("args")));

        answers.push_back(mrOk);
        Press(editor->memText, Qt::Key_F9);
        EXPECT_EQ(asked.size(), 2u);
        EXPECT_EQ(JavaCompilerPath, javac);
        WaitForJobs();
        EXPECT_EQ(Status(), QString::fromStdString("'" + Path("A.java") + "' compiled successfully."));
        EXPECT_TRUE(Button("cmdJava")->isEnabled());
    }
    // Stored as the settings dialog stores it: a second start has it.
    TRegistry reg;
    OpenAppKey(reg);
    reg.OpenKey("JavaCompiler", false);
    EXPECT_EQ(reg.ReadString(""), javac);

    // None on the path: the status bar says where to set one.
    JavaCompilerPath.clear();
    SearchPath path(Path("nothing"));
    Press(editor->memText, Qt::Key_F9);
    EXPECT_EQ(Status(), "No Java compiler is set: choose one in Edit > Settings.");
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(asked.size(), 2u);
}

TEST_F(Keys, F5WithoutACompilerMakesTheSameOfferWhereRunApplies)
{
    std::filesystem::create_directories(dir / "jdk");
    const std::string javac = FakeCompiler("jdk/javac", "");
    SearchPath path(Path("jdk"));
    TcwEdit* text = OpenSaved("notes.txt", "not java");
    Press(text->memText, Qt::Key_F5);
    EXPECT_TRUE(asked.empty());

    TcwEdit* editor = OpenSaved("A.java", "class A {}");
    answers.push_back(mrOk);
    Press(editor->memText, Qt::Key_F5);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, QString::fromStdString("No Java compiler is set. Use '" + javac + "'?"));
    EXPECT_EQ(JavaCompilerPath, javac);
    // Run went on with it: this compiler has no launcher beside it.
    EXPECT_EQ(Status(), QString::fromStdString("Couldn't find the Java launcher beside '" + javac + "'."));
}
