#include "cedit.h"
#include "compiletest.h"
#include "fmain.h"
#include "zidarodadefs.h"

#include <QApplication>
#include <QInputDialog>
#include <QTest>
#include <QTimer>

using namespace zj;

namespace {

using Sci = QsciScintillaBase;

class Navigation : public CompileTest {
protected:
    struct Place {
        std::string file;
        int line;   // 1-based
        int column; // 1-based, in bytes of an ASCII line
    };

    // The active window holds file, with the caret at line and column and
    // that line highlighted.
    void ExpectAt(const Place& place) const
    {
        TcwEdit* editor = frame->ActiveEditor();
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->FileName(), place.file);
        TRichEdit* text = editor->memText;
        const long lineStart = text->SendScintilla(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(place.line - 1));
        EXPECT_EQ(text->CaretLine(), place.line - 1);
        EXPECT_EQ(text->SelStart(), lineStart + place.column - 1);
        EXPECT_EQ(text->HighlightedLine(), place.line - 1);
    }

    // A real double-click on a line of the output window.
    static void DoubleClickOutputLine(int line)
    {
        TRichEdit* view = ErrorsView();
        const long pos = view->SendScintilla(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
        view->SendScintilla(Sci::SCI_GOTOPOS, static_cast<unsigned long>(pos));
        Settle();
        // Every other line further right, so that no two double-clicks in a
        // row make a triple-click.
        const QPoint point(static_cast<int>(view->SendScintilla(Sci::SCI_POINTXFROMPOSITION, 0UL, pos)) + 3 + 60 * (line % 2),
                           static_cast<int>(view->SendScintilla(Sci::SCI_POINTYFROMPOSITION, 0UL, pos)) + 3);
        // As a mouse does it: a click, then the second press as a double-click.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, point);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, point);
        Settle();
    }

    static void Press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(target, key, modifiers);
        Settle();
    }
};

const char* const LearnerSource = "import java.util.List;\n"
                                  "\n"
                                  "public class Learner {\n"
                                  "    public static void main(String[] args) {\n"
                                  "        Strin name = \"Ada\";\n"
                                  "        int count = \"three\";\n"
                                  "        System.out.printn(count);\n"
                                  "        return;\n"
                                  "        System.out.println(count);\n"
                                  "    }\n"
                                  "\n"
                                  "    static int sign(int a) {\n"
                                  "\tif (a > 0) { return 1; }\n"
                                  "    }\n"
                                  "\n"
                                  "    static void call() {\n"
                                  "        sign(\"x\");\n"
                                  "    }\n"
                                  "}\n";

} // namespace

TEST_F(Navigation, EveryMessageOfTheRealCompilerLeadsToItsLineAndColumn)
{
    const char* javac = "/usr/bin/javac";
    if (!std::filesystem::exists(javac))
        GTEST_SKIP() << "no javac on this machine";
    JavaCompilerPath = javac;
    std::filesystem::create_directories(dir / "my dir" / "Ärger ünd Öl");
    const std::string file = Path("my dir/Ärger ünd Öl/Learner.java");
    TcwEdit* editor = OpenSaved("my dir/Ärger ünd Öl/Learner.java", LearnerSource);
    EXPECT_FALSE(Item("mnuSearchNextError")->isEnabled());
    CompileAndWait();
    EXPECT_TRUE(Status().startsWith("Couldn't compile")) << Status().toStdString();
    const Place places[] = {{file, 5, 9}, {file, 6, 21}, {file, 7, 19}, {file, 17, 14}};
    const std::vector<TCompilerMessage>& messages = frame->CompileMessages();
    ASSERT_EQ(messages.size(), 5u) << ErrorsText();
    EXPECT_FALSE(messages[4].Located()) << "javac's note names no place";
    EXPECT_TRUE(Item("mnuSearchNextError")->isEnabled());
    EXPECT_TRUE(Item("mnuSearchPreviousError")->isEnabled());
    EXPECT_EQ(editor->memText->MarkedLines(), (std::vector<int>{4, 5, 6, 16}));

    // F8 walks the messages in order and round, also while the output
    // window is the active one; Shift+F8 walks back.
    dlgErrors->activateWindow();
    Settle();
    for (const Place& place : places) {
        Press(editor->memText->viewport(), Qt::Key_F8);
        ExpectAt(place);
    }
    Press(editor->memText->viewport(), Qt::Key_F8);
    ExpectAt(places[0]);
    Press(editor->memText->viewport(), Qt::Key_F8, Qt::ShiftModifier);
    ExpectAt(places[3]);
    Press(editor->memText->viewport(), Qt::Key_F8, Qt::ShiftModifier);
    ExpectAt(places[2]);

    // Any line of a message leads to it, the quoted source and details too.
    for (std::size_t i = 0; i < 4; ++i) {
        for (int line = messages[i].FirstLine; line <= messages[i].LastLine; ++line) {
            SCOPED_TRACE("output line " + std::to_string(line));
            editor->memText->SetSel(0, 0);
            DoubleClickOutputLine(line);
            ExpectAt(places[i]);
        }
    }
    // So does Enter; the summary line leads nowhere.
    ErrorsView()->setFocus();
    ErrorsView()->GoToLineColumn(messages[1].FirstLine, 0);
    Press(ErrorsView(), Qt::Key_Return);
    ExpectAt(places[1]);
    Press(ErrorsView(), Qt::Key_F8);
    ExpectAt(places[2]);
    editor->memText->SetSel(0, 0);
    DoubleClickOutputLine(messages[4].LastLine + 1);
    EXPECT_EQ(editor->memText->SelStart(), 0);

    // Fixed and compiled again: the marks go.
    Select(editor, 0, editor->memText->Length());
    editor->ReplaceSelection("public class Learner {}\n");
    answers.push_back(mrOk);
    CompileAndWait();
    EXPECT_TRUE(Status().endsWith("compiled successfully.")) << Status().toStdString();
    EXPECT_TRUE(editor->memText->MarkedLines().empty());
    EXPECT_FALSE(Item("mnuSearchNextError")->isEnabled());
}

TEST_F(Navigation, MessagesAboutOtherFilesOpenTheirWindowsAndWhatCannotBeFollowedIsPassed)
{
    Put(Path("C.java"), "c1\nc2\nc3\n");
    std::filesystem::create_directory(dir / "D.java");
    std::filesystem::create_directory(dir / "sub");
    Put(Path("sub/F.java"), "f1\n");
    TcwEdit* b = OpenSaved("B.java", "b1\nb2\nb3\n");
    Type(b, "new first line");
    Press(b->memText->viewport(), Qt::Key_Return);
    TcwEdit* a = OpenSaved("A.java", "class A {\n  int x;\n}\n");
    // Relative names are taken from the compiled file's folder when the
    // editor's own folder has no such file.
    ::mkfifo(Path("F.fifo").c_str(), 0600);
    std::string output = Path("A.java") + ":2:3: error: in a\n" + Path("B.java") + ":3: warning: in b\n"
                         + Path("D.java") + ":1: error: a folder\n" + Path("E.java") + ":1: error: gone\n"
                         + "/dev/zero:1: error: a device\n" + Path("F.fifo") + ":1: error: a FIFO\n"
                         + Path("C.java") + ":99:7: error: past the end\nsub/F.java:1: note: relative\n";
    output += std::string("\n\x01\xFF garbage \0 A.java:x: error\n", 31);
    Put(Path("output"), output);
    JavaCompilerPath = FakeCompiler("javac", "cat '" + Path("output") + "'; exit 1");
    CompileAndWait();
    ASSERT_EQ(frame->CompileMessages().size(), 8u);
    EXPECT_EQ(b->memText->MarkedLines(), (std::vector<int>{2}));

    // B is taken as it stands, modified and not reloaded; the folder, the
    // missing file, the device and the FIFO are passed and nothing is opened
    // for them; C opens as Open would, at its last line.
    frame->mnuSearchNextErrorClick();
    ExpectAt({Path("A.java"), 2, 3});
    frame->mnuSearchNextErrorClick();
    ExpectAt({Path("B.java"), 3, 1});
    EXPECT_EQ(frame->ActiveEditor(), b);
    EXPECT_TRUE(b->memText->Modified());
    EXPECT_EQ(Text(b), "new first line\nb1\nb2\nb3\n");
    frame->mnuSearchNextErrorClick();
    TcwEdit* c = frame->ActiveEditor();
    ASSERT_NE(c, b);
    EXPECT_EQ(c->FileName(), Path("C.java"));
    EXPECT_EQ(c->memText->CaretLine(), 2);
    EXPECT_EQ(c->memText->MarkedLines(), (std::vector<int>{2}));
    frame->mnuSearchNextErrorClick();
    ExpectAt({Path("sub/F.java"), 1, 1});
    frame->mnuSearchNextErrorClick();
    ExpectAt({Path("A.java"), 2, 3});
    EXPECT_EQ(frame->EditorWindows().size(), 4);

    // Their lines in the output window lead nowhere either.
    for (int line : {2, 3, 4, 5, 9})
        DoubleClickOutputLine(line);
    EXPECT_EQ(frame->ActiveEditor(), a);
    EXPECT_EQ(frame->EditorWindows().size(), 4);

    // Compiling A again takes A's marks away, not B's.
    JavaCompilerPath = FakeCompiler("javac2", "");
    CompileAndWait();
    EXPECT_TRUE(a->memText->MarkedLines().empty());
    EXPECT_EQ(b->memText->MarkedLines(), (std::vector<int>{2}));
}

TEST_F(Navigation, GoToLineAsksForEveryLineTheMarginShows)
{
    EXPECT_FALSE(Item("mnuSearchGoToLine")->isEnabled());
    NewEditor(dtText);
    EXPECT_FALSE(Item("mnuSearchGoToLine")->isEnabled());
    TcwEdit* editor = OpenSaved("five.txt", "one\r\ntwo\r\nthree\r\nfour\r\nfive\r\n");
    Select(editor, 25, 0);
    EXPECT_TRUE(Item("mnuSearchGoToLine")->isEnabled());

    // The margin numbers the empty line after the final break too.
    numbers.push_back(2);
    Press(editor->memText->viewport(), Qt::Key_G, Qt::ControlModifier);
    ASSERT_EQ(numbersAsked.size(), 1u);
    EXPECT_EQ(numbersAsked[0].Caption, "Go to Line");
    EXPECT_EQ(numbersAsked[0].Prompt, "Line number (1-6):");
    EXPECT_EQ(numbersAsked[0].Min, 1);
    EXPECT_EQ(numbersAsked[0].Max, 6);
    EXPECT_EQ(numbersAsked[0].Value, 5) << "offers the caret's line";
    EXPECT_EQ(Selection(editor), std::make_pair(5, 0));
    EXPECT_EQ(editor->memText->HighlightedLine(), 1);

    numbers.push_back(std::nullopt);
    frame->mnuSearchGoToLineClick();
    EXPECT_EQ(Selection(editor), std::make_pair(5, 0));
    EXPECT_EQ(numbersAsked[1].Value, 2);

    numbers.push_back(6);
    frame->mnuSearchGoToLineClick();
    EXPECT_EQ(Selection(editor), std::make_pair(editor->memText->Length(), 0));
    EXPECT_EQ(editor->memText->HighlightedLine(), 5);

    // The real box.
    NumberHook = nullptr;
    QTimer::singleShot(0, [] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->intMaximum(), 6);
        box->setIntValue(4);
        box->accept();
    });
    frame->mnuSearchGoToLineClick();
    EXPECT_EQ(editor->memText->CaretLine(), 3);
}

TEST_F(Navigation, F9PressesTheCompileButtonOnlyWhenItIsEnabled)
{
    JavaCompilerPath = FakeCompiler("javac", "");
    TcwEdit* text = OpenSaved("notes.txt", "not java");
    EXPECT_FALSE(Button("cmdJava")->isEnabled());
    Press(text->memText->viewport(), Qt::Key_F9);
    QTest::qWait(300);
    EXPECT_FALSE(std::filesystem::exists(Path("args")));

    TcwEdit* java = OpenSaved("A.java", "class A {}");
    EXPECT_TRUE(Button("cmdJava")->isEnabled());
    EXPECT_EQ(Button("cmdJava")->toolTip(), "Compile Java Code");
    // The button is pressed as a click would press it, a moment later.
    Press(java->memText->viewport(), Qt::Key_F9);
    for (int i = 0; i < 200 && !Status().endsWith("successfully."); ++i)
        QTest::qWait(10);
    EXPECT_EQ(Status(), QString::fromStdString("'" + Path("A.java") + "' compiled successfully."));
}

TEST_F(Navigation, TheLineJumpedToStandsClearOfTheOutputWindow)
{
    frame->resize(900, 700);
    std::string text;
    for (int i = 1; i <= 80; ++i)
        text += "line " + std::to_string(i) + "\n";
    TcwEdit* editor = OpenSaved("long.txt", text);
    editor->showMaximized();
    dlgErrors->ShowOutput("long.txt:1: error: x\n");
    Settle();
    TRichEdit* view = editor->memText;
    const QRect area(view->viewport()->mapToGlobal(QPoint(0, 0)), view->viewport()->size());
    // The output window across the middle of the text, as wide as the frame.
    dlgErrors->setGeometry(area.left(), area.top() + area.height() / 3, area.width(), area.height() / 3);
    Settle();
    const int height = static_cast<int>(view->SendScintilla(Sci::SCI_TEXTHEIGHT, 0UL));
    const int covered = static_cast<int>(view->SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE)) + area.height() / 2 / height;
    auto lineRect = [&] {
        const long pos = view->SendScintilla(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(view->CaretLine()));
        const int y = static_cast<int>(view->SendScintilla(Sci::SCI_POINTYFROMPOSITION, 0UL, pos));
        return QRect(area.left(), area.top() + y, area.width(), height);
    };
    ASSERT_TRUE(QRect(area.left(), area.top() + (covered - view->SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE)) * height,
                      area.width(), height)
                    .intersects(dlgErrors->frameGeometry()))
        << "the line starts under the window";

    numbers.push_back(covered + 1);
    frame->mnuSearchGoToLineClick();
    EXPECT_EQ(view->CaretLine(), covered);
    EXPECT_FALSE(lineRect().intersects(dlgErrors->frameGeometry()));
    EXPECT_TRUE(area.contains(lineRect())) << "and stays in view";

    // So does a message's line.
    const QRect placed = dlgErrors->geometry();
    view->SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, 0UL);
    view->SetSel(0, 0);
    JavaCompilerPath = FakeCompiler("javac", "echo '" + Path("long.txt") + ":" + std::to_string(covered + 1) +
                                                 ": error: here'; exit 1");
    OpenSaved("A.java", "class A {}");
    CompileAndWait();
    dlgErrors->setGeometry(placed);
    Settle();
    frame->mnuSearchNextErrorClick();
    Settle();
    ASSERT_EQ(frame->ActiveEditor(), editor);
    EXPECT_EQ(view->CaretLine(), covered);
    EXPECT_FALSE(lineRect().intersects(dlgErrors->frameGeometry()));
}
