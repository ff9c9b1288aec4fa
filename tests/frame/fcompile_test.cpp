#include "cedit.h"
#include "compiletest.h"
#include "fmain.h"
#include "zidarodadefs.h"

#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <fstream>

using namespace zj;

namespace {

class Compile : public CompileTest {};

} // namespace

TEST_F(Compile, StopsSilentlyWithoutWindowTextOrCompiler)
{
    JavaCompilerPath = FakeCompiler("javac", "");
    CompileAndWait();
    NewEditor(dtJava);
    CompileAndWait();
    TcwEdit* editor = OpenSaved("A.java", "class A {}");
    JavaCompilerPath.clear();
    CompileAndWait();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(beeps, 0);
    EXPECT_TRUE(Status().isEmpty());
    EXPECT_FALSE(std::filesystem::exists(Path("args")));
    EXPECT_FALSE(editor->memText->Modified());
}

// The save before the compile writes back the bytes read: an LF file (one
// from git, with a stray CR LF) is not rewritten with other line breaks.
TEST_F(Compile, SavedDocumentIsWrittenAgainAndCompiledWithoutAQuestion)
{
    JavaCompilerPath = FakeCompiler("javac", "");
    TcwEdit* editor = OpenSaved("A.java", "class A {\n}\r\n");
    CompileAndWait();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(Get(Path("A.java")), "class A {\n}\r\n");
    EXPECT_EQ(Get(Path("args")), Path("A.java") + "\n");
    EXPECT_EQ(Status(), QString::fromStdString("'" + Path("A.java") + "' compiled successfully."));
    EXPECT_EQ(beeps, 1);
    EXPECT_FALSE(dlgErrors->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    (void)editor;
}

// The save before the compile asks before it overwrites another program's
// change; No compiles nothing.
TEST_F(Compile, AFileChangedOnDiskIsNotOverwrittenUnasked)
{
    JavaCompilerPath = FakeCompiler("javac", "");
    TcwEdit* editor = OpenSaved("A.java", "class A {}");
    Put(Path("A.java"), "class B {}");
    answers.push_back(mrNo);
    frame->cmdJavaClick();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].Text.endsWith("was changed by another program since it was opened. Replace it with this "
                                       "document?"));
    EXPECT_EQ(Get(Path("A.java")), "class B {}");
    EXPECT_FALSE(std::filesystem::exists(Path("args")));

    // Back in the editor from the other program, the change is seen.
    QApplicationStateChangeEvent active(Qt::ApplicationActive);
    QApplication::sendEvent(qApp, &active);
    Settle();
    EXPECT_EQ(Text(editor), "class B {}");
    CompileAndWait();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(Path("args")));
}

TEST_F(Compile, UnsavedDocumentsAskFirst)
{
    JavaCompilerPath = FakeCompiler("javac", "");
    TcwEdit* editor = OpenSaved("A.java", "class A {}");
    Type(editor, "x");
    answers.push_back(mrCancel);
    CompileAndWait();
    EXPECT_EQ(asked.back().Text, QString::fromStdString("'" + Path("A.java") +
                                                        "' has been changed. The document must be saved "
                                                        "before it can be compiled."));
    EXPECT_EQ(asked.back().Buttons, (std::vector<TMsgDlgBtn>{TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel}));
    EXPECT_EQ(asked.back().DefaultButton, TMsgDlgBtn::mbOK);
    EXPECT_TRUE(editor->memText->Modified());
    EXPECT_FALSE(std::filesystem::exists(Path("args")));

    TcwEdit* untitled = NewEditor(dtJava);
    Type(untitled, "class B {}");
    answers.push_back(mrOk);
    saveNames.push_back(std::nullopt);
    CompileAndWait();
    EXPECT_EQ(asked.back().Text, "'Untitled_1.java' has been changed. The document must be saved before it can "
                                 "be compiled.");
    EXPECT_FALSE(std::filesystem::exists(Path("args")));
    // No at the overwrite question, then a cancelled dialog: nothing to compile.
    answers = {mrOk, mrNo};
    saveNames = {Path("A.java"), std::nullopt};
    frame->cmdJavaClick();
    EXPECT_FALSE(std::filesystem::exists(Path("args")));
    EXPECT_TRUE(untitled->Untitled());
}

TEST_F(Compile, NamesWithBlanksAndQuotesReachTheCompilerWhole)
{
    // The compiler's path and the file name go to it as two arguments, so no
    // quote or blank in either can make another program run.
    std::filesystem::create_directory(dir / "my work");
    OpenSaved("my work/Hello World.java", "class A {}");
    for (const std::string folder : {"my jdk", "my\"jdk", "a\"b c\""}) {
        std::filesystem::create_directory(dir / folder);
        std::filesystem::remove(Path("args"));
        JavaCompilerPath = FakeCompiler(folder + "/javac", "");
        CompileAndWait();
        EXPECT_EQ(Get(Path("args")), Path("my work/Hello World.java") + "\n") << folder;
        EXPECT_TRUE(Status().endsWith("compiled successfully.")) << folder;
    }
}

TEST_F(Compile, FailedCompileShowsItsOutputInTheOutputWindow)
{
    JavaCompilerPath = FakeCompiler("javac", "echo 'warning: deprecated'; exit 1");
    OpenSaved("A.java", "class A {}");
    CompileAndWait();
    EXPECT_EQ(Status(), QString::fromStdString("Couldn't compile '" + Path("A.java") + "'."));
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(dlgErrors->isVisible());
    EXPECT_EQ(ErrorsText(), "warning: deprecated\n");

    // Errors on standard error count too, and replace the old text.
    JavaCompilerPath = FakeCompiler("javac2", "echo 'A.java:1: error' >&2; exit 2");
    CompileAndWait();
    EXPECT_EQ(ErrorsText(), "A.java:1: error\n");

    dlgErrors->cmdOKClick();
    EXPECT_FALSE(dlgErrors->isVisible());
    EXPECT_EQ(ErrorsText(), "A.java:1: error\n");
}

TEST_F(Compile, JudgedByHowTheCompilerEnded)
{
    struct Case {
        const char* body;
        const char* status;
        const char* shown;
    };
    const Case cases[] = {
        {"exit 0", "'%1' compiled successfully.", nullptr},
        {"echo 'Note: A.java uses a deprecated API.'", "'%1' compiled with warnings.",
         "Note: A.java uses a deprecated API.\n"},
        {"exit 3", "Couldn't compile '%1'.", "The compiler ended with exit code 3."},
        {"kill -TERM $$", "Couldn't compile '%1'.", "The compiler was ended by signal 15."},
        {"echo 'A.java:1: error: x' >&2; exit 1", "Couldn't compile '%1'.", "A.java:1: error: x\n"},
    };
    OpenSaved("A.java", "class A {}");
    int compiler = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        dlgErrors->cmdOKClick();
        JavaCompilerPath = FakeCompiler("javac" + std::to_string(++compiler), c.body);
        CompileAndWait();
        EXPECT_EQ(Status(), QString::fromLatin1(c.status).arg(QString::fromStdString(Path("A.java"))));
        EXPECT_EQ(beeps, compiler);
        EXPECT_EQ(dlgErrors->isVisible(), c.shown != nullptr);
        if (c.shown) {
            EXPECT_EQ(ErrorsText(), c.shown);
        }
    }
}

TEST_F(Compile, RunsInTheBackgroundWhileTheFrameStaysUsableAndStopEndsEverything)
{
    const std::string pids = Path("pids");
    JavaCompilerPath = FakeCompiler("javac", "echo $$ > '" + pids + "'; sleep 600 & echo $! >> '" + pids + "'; wait");
    TcwEdit* editor = OpenSaved("A.java", "class A {}");
    TcwEdit* other = OpenSaved("B.txt", "notes");
    Child<QMdiArea>(frame, "ClientArea")->setActiveSubWindow(editor);
    Settle();
    EXPECT_FALSE(Button("cmdStop")->isEnabled());
    EXPECT_EQ(Button("cmdStop")->toolTip(), "Stop");
    frame->cmdJavaClick();
    EXPECT_TRUE(frame->Compiling()) << "returns at once";
    EXPECT_EQ(Status(), QString::fromStdString("Compiling '" + Path("A.java") + "'..."));
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(Button("cmdJava")->isEnabled()) << "one compile at a time";
    EXPECT_FALSE(Button("cmdRun")->isEnabled());
    EXPECT_TRUE(Button("cmdStop")->isEnabled());
    for (int i = 0; i < 100 && !std::filesystem::exists(pids); ++i)
        QTest::qWait(10);

    // Typing, switching windows and a second F9 meanwhile.
    QTest::keyClick(editor->memText, Qt::Key_X);
    EXPECT_EQ(Text(editor), "xclass A {}");
    Child<QMdiArea>(frame, "ClientArea")->setActiveSubWindow(other);
    Settle();
    EXPECT_EQ(frame->ActiveEditor(), other);
    Child<QMdiArea>(frame, "ClientArea")->setActiveSubWindow(editor);
    Settle();
    frame->cmdJavaClick();
    EXPECT_TRUE(asked.empty()) << "no second compile, no question";

    QTest::keyClick(editor->memText, Qt::Key_F5, Qt::ShiftModifier);
    WaitForJobs();
    EXPECT_FALSE(frame->Compiling());
    EXPECT_EQ(Status(), QString::fromStdString("Compile of '" + Path("A.java") + "' stopped."));
    EXPECT_EQ(beeps, 1);
    EXPECT_FALSE(dlgErrors->isVisible());
    EXPECT_FALSE(Button("cmdStop")->isEnabled());
    EXPECT_TRUE(Button("cmdJava")->isEnabled());
    std::ifstream in(pids);
    long shell = 0, sleeper = 0;
    in >> shell >> sleeper;
    ASSERT_GT(sleeper, 0);
    EXPECT_TRUE(ProcessGoes(shell));
    EXPECT_TRUE(ProcessGoes(sleeper));
}

TEST_F(Compile, AProcessTheCompilerLeftBehindIsEndedWithItsOutput)
{
    // It holds the output after the compiler has ended: the compile is over
    // a moment later, and it is ended.
    JavaCompilerPath = FakeCompiler("javac", "sleep 60 & echo $! > '" + Path("pid") + "'; echo done");
    OpenSaved("A.java", "class A {}");
    CompileAndWait();
    EXPECT_EQ(Status(), QString::fromStdString("'" + Path("A.java") + "' compiled with warnings."));
    EXPECT_EQ(ErrorsText(), "done\n");
    EXPECT_TRUE(ProcessGoes(std::stol(Get(Path("pid")))));
}

TEST_F(Compile, ASuccessfulCompileLeavesNoOldErrorsInView)
{
    OpenSaved("B.java", "class B {}");
    TcwEdit* a = OpenSaved("A.java", "class A {\n  int x;\n}\n");
    JavaCompilerPath = FakeCompiler("javac", "echo '" + Path("A.java") + ":2: error: bad'; echo '" + Path("B.java")
                                                 + ":1: error: also'; exit 1");
    CompileAndWait();
    ASSERT_TRUE(dlgErrors->isVisible());
    EXPECT_EQ(a->memText->MarkedLines(), (std::vector<int>{1}));
    EXPECT_TRUE(Item("mnuSearchNextError")->isEnabled());

    JavaCompilerPath = FakeCompiler("javac2", "exit 0");
    CompileAndWait();
    const QString success = QString::fromStdString("'" + Path("A.java") + "' compiled successfully.");
    EXPECT_EQ(Status(), success);
    EXPECT_EQ(QString::fromStdString(ErrorsText()), success);
    EXPECT_TRUE(a->memText->MarkedLines().empty());
    EXPECT_TRUE(frame->CompileMessages().empty());
    EXPECT_FALSE(Item("mnuSearchNextError")->isEnabled());
    frame->mnuSearchNextErrorClick();
    EXPECT_EQ(frame->ActiveEditor(), a) << "nothing to step to";

    // A hidden window stays hidden.
    dlgErrors->cmdOKClick();
    CompileAndWait();
    EXPECT_FALSE(dlgErrors->isVisible());
}

TEST_F(Compile, EndlessOutputIsCappedAndSaysSo)
{
    // 40 MB: the first 16 are kept and shown, the rest read and let go.
    JavaCompilerPath = FakeCompiler("javac", "head -c 41943040 /dev/zero | tr '\\0' x; exit 1");
    OpenSaved("A.java", "class A {}");
    CompileAndWait();
    EXPECT_EQ(Status(), QString::fromStdString("Couldn't compile '" + Path("A.java") + "'."));
    const std::string shown = ErrorsText();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), 'x'), 16 << 20);
    EXPECT_NE(shown.find("[The compiler wrote 25165824 bytes more; only its first 16 MB are shown.]"), std::string::npos);
}

TEST_F(Compile, OutputWindowKeepsItsLayoutAndShowsAnyOutputWhole)
{
    EXPECT_EQ(dlgErrors->windowTitle(), "Errors");
    EXPECT_EQ(dlgErrors->size(), QSize(495, 208));
    EXPECT_EQ(Child<QWidget>(dlgErrors, "Panel1")->width(), 103);
    EXPECT_EQ(Child<QPushButton>(dlgErrors, "cmdOK")->geometry(), QRect(14, 8, 75, 25));
    TRichEdit* view = ErrorsView();
    EXPECT_TRUE(view->isReadOnly());
    EXPECT_EQ(view->font().family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());

    // 50 MB in one line: shown in pieces, nothing lost.
    std::string output(50u << 20, 'x');
    output += "\nA.java:1: error: after";
    dlgErrors->ShowOutput(output);
    const int pieces = static_cast<int>((50u << 20) / TRichEdit::MaxViewLine);
    EXPECT_EQ(view->Length(), static_cast<int>(output.size()) + pieces - 1);
    dlgErrors->ShowLine(1);
    EXPECT_EQ(view->CaretLine(), pieces);
    EXPECT_EQ(dlgErrors->CaretOutputLine(), 1);
    view->SetSel(view->Length() / 2, 0);
    EXPECT_EQ(dlgErrors->CaretOutputLine(), 0);

    // A million short lines, as they are.
    output.clear();
    for (int i = 0; i < 1000000; ++i)
        output += "A.java:" + std::to_string(i + 1) + ": error: x\n";
    dlgErrors->ShowOutput(output);
    EXPECT_TRUE(view->Bytes() == output);
    dlgErrors->ShowLine(999999);
    EXPECT_EQ(view->CaretLine(), 999999);
}

TEST_F(Compile, ACompilerThatCannotStartShowsTheRunnersError)
{
    Put(Path("javac"), "not a program");
    ::chmod(Path("javac").c_str(), 0644);
    JavaCompilerPath = Path("javac");
    OpenSaved("A.java", "class A {}");
    StatusBar()->showMessage("before");
    answers.push_back(mrOk);
    ASSERT_TRUE(Button("cmdJava")->isEnabled());
    Button("cmdJava")->click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, "Create process failed.");
    EXPECT_TRUE(asked[0].IsError);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Status(), "before");
}

TEST_F(Compile, RealCompilerEndToEnd)
{
    const char* javac = "/usr/bin/javac";
    if (!std::filesystem::exists(javac))
        GTEST_SKIP() << "no javac on this machine";
    JavaCompilerPath = javac;
    OpenSaved("Good.java", "public class Good { public static void main(String[] a) {} }\n");
    CompileAndWait();
    EXPECT_TRUE(Status().endsWith("compiled successfully.")) << Status().toStdString();
    EXPECT_TRUE(std::filesystem::exists(Path("Good.class")));

    OpenSaved("Bad.java", "public class Bad { int x = ; }\n");
    CompileAndWait();
    EXPECT_TRUE(Status().startsWith("Couldn't compile")) << Status().toStdString();
    EXPECT_NE(ErrorsText().find("error"), std::string::npos) << ErrorsText();
}
