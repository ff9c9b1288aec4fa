#include "cedit.h"
#include "compiletest.h"
#include "console.h"
#include "fmain.h"
#include "zidarodadefs.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>

using namespace zj;

namespace {

using Sci = QsciScintillaBase;

class Run : public CompileTest {
protected:
    // A compiler that writes the class beside the source, and a launcher
    // beside it that runs body after saying how it was started.
    void FakeJdk(const std::string& body)
    {
        std::filesystem::create_directories(dir / "jdk");
        JavaCompilerPath = FakeCompiler("jdk/javac", "touch \"${1%.java}.class\"");
        const std::string java = Path("jdk/java");
        Put(java, "#!/bin/sh\necho \"$@\"; pwd\n" + body + "\n");
        ::chmod(java.c_str(), 0755);
    }

    std::string ConsoleText() const { return std::string(frame->memConsole->Bytes()); }

    // Waits until the console holds text.
    bool ConsoleShows(const std::string& text, int seconds = 60)
    {
        for (int i = 0; i < seconds * 100 && ConsoleText().find(text) == std::string::npos; ++i)
            QTest::qWait(10);
        return ConsoleText().find(text) != std::string::npos;
    }

    void RunAndWait()
    {
        frame->cmdRunClick();
        WaitForJobs();
    }
};

// The real JDK's programs, run as a learner runs them.
class RealJava : public Run {
protected:
    void SetUp() override
    {
        Run::SetUp();
        if (!std::filesystem::exists("/usr/bin/javac") || !std::filesystem::exists("/usr/bin/java"))
            GTEST_SKIP() << "no JDK on this machine";
        JavaCompilerPath = "/usr/bin/javac";
    }
};

} // namespace

TEST_F(Run, CompilesWhatIsOutOfDateThenRunsTheClassInItsPackage)
{
    FakeJdk("exit 3");
    EXPECT_FALSE(Button("cmdRun")->isEnabled());
    EXPECT_EQ(Button("cmdRun")->toolTip(), "Run");
    std::filesystem::create_directories(dir / "src" / "pkg" / "sub");
    OpenSaved("src/pkg/sub/B.java", "/* about */ package pkg . sub;\nclass B {}\n");
    EXPECT_TRUE(Button("cmdRun")->isEnabled());
    QDockWidget* pane = frame->pnlConsole;
    EXPECT_FALSE(pane->isVisible());

    RunAndWait();
    EXPECT_EQ(Get(Path("args")), Path("src/pkg/sub/B.java") + "\n") << "compiled first";
    EXPECT_TRUE(pane->isVisible());
    EXPECT_EQ(pane->windowTitle(), "Console");
    EXPECT_EQ(frame->dockWidgetArea(pane), Qt::BottomDockWidgetArea);
    EXPECT_EQ(ConsoleText(), "-cp " + Path("src") + " pkg.sub.B\n" + Path("src/pkg/sub") + "\n'pkg.sub.B' ended with exit code 3.\n");
    EXPECT_EQ(Status(), "'pkg.sub.B' ended with exit code 3.");
    EXPECT_EQ(beeps, 2) << "the compile's, the run's";

    // Up to date: run without a compile; closed, the pane comes back.
    std::filesystem::remove(Path("args"));
    pane->close();
    QTest::keyClick(frame->ActiveEditor()->memText, Qt::Key_F5);
    for (int i = 0; i < 100 && !frame->ProgramRunning(); ++i)
        QTest::qWait(10);
    WaitForJobs();
    EXPECT_FALSE(std::filesystem::exists(Path("args")));
    EXPECT_TRUE(pane->isVisible());
    EXPECT_TRUE(ConsoleText().ends_with("'pkg.sub.B' ended with exit code 3.\n"));

    // A compile that fails stops there with its messages.
    TcwEdit* bad = OpenSaved("C.java", "class C {}");
    JavaCompilerPath = FakeCompiler("jdk/javac", "echo 'C.java:1: error: no'; exit 1");
    RunAndWait();
    EXPECT_EQ(Status(), QString::fromStdString("Couldn't compile '" + Path("C.java") + "'."));
    EXPECT_TRUE(ConsoleText().ends_with("'pkg.sub.B' ended with exit code 3.\n")) << "nothing was run";
    EXPECT_EQ(bad->memText->MarkedLines(), (std::vector<int>{0}));
}

TEST_F(Run, AsksBeforeWhatWouldLoseAProgramOrADocument)
{
    FakeJdk("sleep 600");
    TcwEdit* editor = OpenSaved("A.java", "class A {}");
    Type(editor, "x");
    answers.push_back(mrCancel);
    frame->cmdRunClick();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, QString::fromStdString("'" + Path("A.java") +
                                                    "' has been changed. The document must be saved before it can be run."));
    EXPECT_FALSE(frame->Compiling() || frame->ProgramRunning());

    // Its save would overwrite another program's change: No runs nothing.
    Put(Path("A.java"), "class A { int changed; }");
    answers.push_back(mrOk);
    answers.push_back(mrNo);
    frame->cmdRunClick();
    EXPECT_TRUE(asked.back().Text.endsWith("was changed by another program since it was opened. Replace it with "
                                           "this document?"));
    EXPECT_EQ(Get(Path("A.java")), "class A { int changed; }");
    EXPECT_FALSE(frame->Compiling() || frame->ProgramRunning());

    answers.push_back(mrOk);
    answers.push_back(mrYes);
    frame->cmdRunClick();
    ASSERT_TRUE(ConsoleShows(dir.string() + "\n"));
    const long first = frame->memConsole->Length();
    EXPECT_TRUE(Button("cmdStop")->isEnabled());

    answers.push_back(mrNo);
    frame->cmdRunClick();
    EXPECT_EQ(asked.back().Text, "'A' is still running. Stop it and run again?");
    EXPECT_EQ(asked.back().Buttons, (std::vector<TMsgDlgBtn>{TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo}));
    EXPECT_TRUE(frame->ProgramRunning());
    EXPECT_EQ(frame->memConsole->Length(), first);
    answers.push_back(mrYes);
    frame->cmdRunClick();
    EXPECT_TRUE(frame->ProgramRunning());

    // Floated, the pane still takes the frame's keys.
    frame->pnlConsole->setFloating(true);
    Settle();
    QTest::keyClick(frame->memConsole, Qt::Key_F5, Qt::ShiftModifier);
    WaitForJobs();
    EXPECT_EQ(Status(), "'A' was stopped.");
    frame->pnlConsole->setFloating(false);
    frame->cmdRunClick();
    ASSERT_TRUE(frame->ProgramRunning());

    answers.push_back(mrNo);
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(asked.back().Text, "'A' is still running. Stop it and exit?");
    EXPECT_TRUE(frame->ProgramRunning());
    answers.push_back(mrYes);
    EXPECT_TRUE(frame->close());
    EXPECT_FALSE(frame->ProgramRunning());
}

TEST_F(Run, TellsHowTheProgramEndedOrWhyItCannotRun)
{
    OpenSaved("A.java", "class A {}");
    FakeJdk("kill -TERM $$");
    RunAndWait();
    EXPECT_EQ(Status(), "'A' was ended by signal 15.");

    // No launcher beside the compiler, none on the search path.
    std::filesystem::create_directories(dir / "alone");
    JavaCompilerPath = FakeCompiler("alone/javac", "");
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", Path("alone").c_str(), 1);
    const int before = beeps;
    frame->cmdRunClick();
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(Status(), QString::fromStdString("Couldn't find the Java launcher beside '" + Path("alone/javac") + "'."));
    EXPECT_EQ(beeps, before + 1);
    EXPECT_FALSE(frame->Compiling() || frame->ProgramRunning());
}

TEST_F(RealJava, HelloAndTwoLinesReadWithAScanner)
{
    TcwEdit* editor = OpenSaved("Hello.java", "import java.util.Scanner;\n"
                                              "public class Hello {\n"
                                              "    public static void main(String[] args) {\n"
                                              "        System.out.println(\"Hello, world\");\n"
                                              "        Scanner in = new Scanner(System.in);\n"
                                              "        System.out.print(\"Name? \");\n"
                                              "        String name = in.nextLine();\n"
                                              "        System.err.println(\"Got \" + name);\n"
                                              "        try { Thread.sleep(300); } catch (InterruptedException e) {}\n"
                                              "        System.out.print(\"Age? \");\n"
                                              "        String age = in.nextLine();\n"
                                              "        System.out.println(\"Hi \" + name + \", \" + age);\n"
                                              "    }\n"
                                              "}\n");
    // F5 and the keys as a learner presses them; the keyboard is the console's.
    QTest::keyClick(editor->memText, Qt::Key_F5);
    ASSERT_TRUE(ConsoleShows("Name? ")) << ConsoleText();
    EXPECT_TRUE(frame->memConsole->hasFocus());
    QTest::keyClicks(frame->memConsole, "Ada");
    QTest::keyClick(frame->memConsole, Qt::Key_Return);
    ASSERT_TRUE(ConsoleShows("Age? ")) << ConsoleText();
    QTest::keyClicks(frame->memConsole, "36");
    QTest::keyClick(frame->memConsole, Qt::Key_Return);
    WaitForJobs();
    EXPECT_EQ(ConsoleText(), "Hello, world\nName? Ada\nGot Ada\nAge? 36\nHi Ada, 36\n'Hello' ended with exit code 0.\n");
    EXPECT_EQ(Status(), "'Hello' ended with exit code 0.");
}

TEST_F(RealJava, AnExceptionLeadsToItsLine)
{
    std::filesystem::create_directories(dir / "app" / "calc");
    TcwEdit* calc = OpenSaved("app/calc/Calc.java", "package calc;\n"
                                                    "public class Calc {\n"
                                                    "    static int divide(int a, int b) {\n"
                                                    "        int q = a / b;\n"
                                                    "        return q;\n"
                                                    "    }\n"
                                                    "    public static void main(String[] args) {\n"
                                                    "        System.out.println(divide(6, 0));\n"
                                                    "    }\n"
                                                    "}\n");
    RunAndWait();
    EXPECT_EQ(Status(), "'calc.Calc' ended with exit code 1.");
    const std::string zero = "java.lang.ArithmeticException: / by zero";
    EXPECT_NE(ConsoleText().find("Exception in thread \"main\" " + zero), std::string::npos) << ConsoleText();
    // The first line found carries the mark, the exception its tip.
    EXPECT_EQ(calc->memText->MarkedLines(), (std::vector<int>{3}));
    Child<QMdiArea>(frame, "ClientArea")->setActiveSubWindow(OpenSaved("notes.txt", "x"));
    frame->mnuSearchNextErrorClick();
    ASSERT_EQ(frame->ActiveEditor(), calc);
    EXPECT_EQ(calc->memText->CaretLine(), 3);
    frame->mnuSearchNextErrorClick();
    EXPECT_EQ(calc->memText->CaretLine(), 7);
    frame->mnuSearchPreviousErrorClick();
    EXPECT_EQ(calc->memText->CaretLine(), 3);

    // Enter on the console's "at" line of main.
    TConsole* console = frame->memConsole;
    const std::string text = ConsoleText();
    const std::size_t at = text.find("\tat calc.Calc.main");
    ASSERT_NE(at, std::string::npos);
    calc->memText->SetSel(0, 0);
    console->setFocus();
    console->SetSel(static_cast<int>(at) + 3, 0);
    QTest::keyClick(console, Qt::Key_Return);
    EXPECT_EQ(frame->ActiveEditor(), calc);
    EXPECT_EQ(calc->memText->CaretLine(), 7);
}

TEST_F(RealJava, StopEndsAProgramThatNeverEndsAndOneThatPrintsWithoutEnd)
{
    struct Program {
        const char* source;
        const char* shows;
    };
    const Program programs[] = {
        {"public class Loop { public static void main(String[] a) throws Exception {"
         " System.out.println(\"waiting\"); Thread.sleep(600000); } }\n",
         "waiting"},
        {"public class Loop { public static void main(String[] a) {"
         " for (long i = 0; ; ++i) System.out.println(\"line \" + i); } }\n",
         "line 100000"}};
    for (const Program& program : programs) {
        OpenSaved("Loop.java", program.source);
        std::filesystem::remove(Path("Loop.class"));
        frame->cmdRunClick();
        ASSERT_TRUE(ConsoleShows(program.shows));
        QTest::keyClick(frame->memConsole, Qt::Key_F5, Qt::ShiftModifier);
        WaitForJobs();
        EXPECT_EQ(Status(), "'Loop' was stopped.");
        EXPECT_TRUE(ConsoleText().ends_with("'Loop' was stopped.\n"));
        EXPECT_LE(static_cast<std::size_t>(frame->memConsole->Length()), TConsole::MaxKept * 2);
        frame->ActiveEditor()->close();
        Settle();
    }
}
