#include "cedit.h"
#include "derrors.h"
#include "fmain.h"
#include "guitest.h"
#include "richedit.h"
#include "zidarodadefs.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPlainTextEdit>

#include <sys/stat.h>

using namespace zj;

namespace {

class Compile : public GuiTest {
protected:
    // A compiler that records its arguments, one a line, then runs body.
    std::string FakeCompiler(const std::string& name, const std::string& body)
    {
        const std::string path = Path(name);
        Put(path, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" + Path("args") + "'\n" + body + "\n");
        ::chmod(path.c_str(), 0755);
        return path;
    }
};

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
}

TEST_F(Compile, NamesWithBlanksReachTheCompilerWhole)
{
    std::filesystem::create_directory(dir / "my jdk");
    JavaCompilerPath = FakeCompiler("my jdk/javac", "");
    std::filesystem::create_directory(dir / "my work");
    OpenSaved("my work/Hello World.java", "class A {}");
    frame->cmdJavaClick();
    EXPECT_EQ(Get(Path("args")), Path("my work/Hello World.java") + "\n");
    EXPECT_TRUE(Status().endsWith("compiled successfully."));
}

TEST_F(Compile, AnyOutputFailsTheCompileAndShowsInTheOutputWindow)
{
    JavaCompilerPath = FakeCompiler("javac", "echo 'warning: deprecated'");
    OpenSaved("A.java", "class A {}");
    frame->cmdJavaClick();
    EXPECT_EQ(Status(), QString::fromStdString("Couldn't compile '" + Path("A.java") + "'."));
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(dlgErrors->isVisible());
    EXPECT_EQ(Child<QPlainTextEdit>(dlgErrors, "memErrors")->toPlainText(), "warning: deprecated\n");

    // Errors on standard error count too, and replace the old text.
    JavaCompilerPath = FakeCompiler("javac2", "echo 'A.java:1: error' >&2");
    frame->cmdJavaClick();
    EXPECT_EQ(Child<QPlainTextEdit>(dlgErrors, "memErrors")->toPlainText(), "A.java:1: error\n");

    dlgErrors->cmdOKClick();
    EXPECT_FALSE(dlgErrors->isVisible());
    EXPECT_EQ(Child<QPlainTextEdit>(dlgErrors, "memErrors")->toPlainText(), "A.java:1: error\n");
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
    const QString output = Child<QPlainTextEdit>(dlgErrors, "memErrors")->toPlainText();
    EXPECT_TRUE(output.contains("error")) << output.toStdString();
}
