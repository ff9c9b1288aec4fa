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

#include <csignal>

using namespace zj;

namespace {

class Compile : public CompileTest {};

} // namespace

TEST_F(Compile, StopsSilentlyWithoutWindowTextOrCompiler)
{
    JavaCompilerPath = FakeCompiler("javac", "");
    frame->cmdJavaClick();
    NewEditor(dtJava);
    frame->cmdJavaClick();
    TcwEdit* editor = OpenSaved("A.java", "class A {}");
    JavaCompilerPath.clear();
    frame->cmdJavaClick();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(beeps, 0);
    EXPECT_TRUE(Status().isEmpty());
    EXPECT_FALSE(std::filesystem::exists(Path("args")));
    EXPECT_FALSE(editor->memText->Modified());
}

TEST_F(Compile, SavedDocumentIsWrittenAgainAndCompiledWithoutAQuestion)
{
    JavaCompilerPath = FakeCompiler("javac", "");
    TcwEdit* editor = OpenSaved("A.java", "class A {}");
    Put(Path("A.java"), "changed on disk");
    frame->cmdJavaClick();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(Get(Path("A.java")), "class A {}");
    EXPECT_EQ(Get(Path("args")), Path("A.java") + "\n");
    EXPECT_EQ(Status(), QString::fromStdString("'" + Path("A.java") + "' compiled successfully."));
    EXPECT_EQ(beeps, 1);
    EXPECT_FALSE(dlgErrors->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    (void)editor;
}

TEST_F(Compile, UnsavedDocumentsAskFirst)
{
    JavaCompilerPath = FakeCompiler("javac", "");
    TcwEdit* editor = OpenSaved("A.java", "class A {}");
    Type(editor, "x");
    answers.push_back(mrCancel);
    frame->cmdJavaClick();
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
    frame->cmdJavaClick();
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
        frame->cmdJavaClick();
        EXPECT_EQ(Get(Path("args")), Path("my work/Hello World.java") + "\n") << folder;
        EXPECT_TRUE(Status().endsWith("compiled successfully.")) << folder;
    }
}

TEST_F(Compile, FailedCompileShowsItsOutputInTheOutputWindow)
{
    JavaCompilerPath = FakeCompiler("javac", "echo 'warning: deprecated'; exit 1");
    OpenSaved("A.java", "class A {}");
    frame->cmdJavaClick();
    EXPECT_EQ(Status(), QString::fromStdString("Couldn't compile '" + Path("A.java") + "'."));
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(dlgErrors->isVisible());
    EXPECT_EQ(ErrorsText(), "warning: deprecated\n");

    // Errors on standard error count too, and replace the old text.
    JavaCompilerPath = FakeCompiler("javac2", "echo 'A.java:1: error' >&2; exit 2");
    frame->cmdJavaClick();
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
        frame->cmdJavaClick();
        EXPECT_EQ(Status(), QString::fromLatin1(c.status).arg(QString::fromStdString(Path("A.java"))));
        EXPECT_EQ(beeps, compiler);
        EXPECT_EQ(dlgErrors->isVisible(), c.shown != nullptr);
        if (c.shown) {
            EXPECT_EQ(ErrorsText(), c.shown);
        }
    }
}

TEST_F(Compile, WindowsStayAliveWhileTheCompileStaysModalAndStopEndsEverything)
{
    const std::string pids = Path("pids");
    JavaCompilerPath = FakeCompiler("javac", "echo $$ > '" + pids + "'; sleep 600 & echo $! >> '" + pids + "'; wait");
    TcwEdit* editor = OpenSaved("A.java", "class A {}");
    int ticks = 0;
    bool hourglass = false;
    QString offer;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (++ticks == 3) {
            // Neither an edit nor a command gets through meanwhile.
            hourglass = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            QTest::keyClick(editor->memText, Qt::Key_X);
            QTest::mouseClick(Button("cmdOpen"), Qt::LeftButton);
        }
        auto* box = frame->findChild<QDialog*>("dlgCompiling");
        if (box && box->isVisible() && offer.isEmpty()) {
            offer = Child<QLabel>(box, "lblCompiling")->text();
            EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
            QTest::mouseClick(Child<QPushButton>(box, "cmdStop"), Qt::LeftButton);
        }
    });
    ticker.start(20);
    frame->cmdJavaClick();
    ticker.stop();

    EXPECT_GT(ticks, 10) << "the event loop ran while the compiler did";
    EXPECT_TRUE(hourglass);
    EXPECT_EQ(offer, "Compiling 'A.java'...");
    EXPECT_EQ(Status(), QString::fromStdString("Compile of '" + Path("A.java") + "' stopped."));
    EXPECT_EQ(beeps, 1);
    EXPECT_FALSE(dlgErrors->isVisible());
    EXPECT_EQ(Text(editor), "class A {}");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    std::ifstream in(pids);
    long shell = 0, sleeper = 0;
    in >> shell >> sleeper;
    ASSERT_GT(sleeper, 0);
    EXPECT_TRUE(ProcessGoes(shell));
    EXPECT_TRUE(ProcessGoes(sleeper));
}

TEST_F(Compile, AProcessTheCompilerLeftBehindDoesNotHoldTheEditor)
{
    JavaCompilerPath = FakeCompiler("javac", "sleep 60 & echo $! > '" + Path("pid") + "'; echo done");
    OpenSaved("A.java", "class A {}");
    frame->cmdJavaClick();
    EXPECT_EQ(Status(), QString::fromStdString("'" + Path("A.java") + "' compiled with warnings."));
    EXPECT_EQ(ErrorsText(), "done\n");
    const long sleeper = std::stol(Get(Path("pid")));
    EXPECT_TRUE(ProcessAlive(sleeper)) << "the compile waited for it";
    ::kill(static_cast<pid_t>(sleeper), SIGKILL);
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
    frame->cmdJavaClick();
    EXPECT_TRUE(Status().endsWith("compiled successfully.")) << Status().toStdString();
    EXPECT_TRUE(std::filesystem::exists(Path("Good.class")));

    OpenSaved("Bad.java", "public class Bad { int x = ; }\n");
    frame->cmdJavaClick();
    EXPECT_TRUE(Status().startsWith("Couldn't compile")) << Status().toStdString();
    EXPECT_NE(ErrorsText().find("error"), std::string::npos) << ErrorsText();
}
