#include "cedit.h"
#include "editorfont.h"
#include "fmain.h"
#include "guitest.h"
#include "registry.h"
#include "richedit.h"
#include "zidarodadefs.h"

#include <QFontDatabase>

#include <cmath>

using namespace zj;

namespace {

class Settings : public GuiTest {
protected:
    std::string Store() const { return Get(RegistryFileName()); }
    void PutStore(const std::string& values)
    {
        std::filesystem::create_directories(std::filesystem::path(RegistryFileName()).parent_path());
        Put(RegistryFileName(), "REGEDIT4\r\n\r\n" + values);
    }
    static std::string FontKey() { return "[HKEY_CURRENT_USER\\Software\\Zorvane\\Java Editor\\Display\\Font]\r\n"; }
    static std::string CompilerKey()
    {
        return "[HKEY_CURRENT_USER\\Software\\Zorvane\\Java Editor\\JavaCompiler]\r\n";
    }
};

} // namespace

TEST_F(Settings, FirstStartStoresTheFormsFontAndAnEmptyCompiler)
{
    // The fixture's frame was the first start.
    const std::string store = Store();
    EXPECT_NE(store.find("\"FontName\"=\"Courier\""), std::string::npos) << store;
    EXPECT_NE(store.find("\"FontSize\"=dword:00000008"), std::string::npos) << store;
    EXPECT_NE(store.find("\\JavaCompiler]"), std::string::npos) << store;
    EXPECT_NE(store.find("@=\"\""), std::string::npos) << store;
    EXPECT_TRUE(JavaCompilerPath.empty());
    EXPECT_FALSE(Button("cmdJava")->isEnabled());
}

TEST_F(Settings, ASecondStartReadsWhatTheFirstStored)
{
    frame->SetEditorFontName("DejaVu Sans Mono");
    SetFontSize(frame->Font, 14, frame->PixelsPerInch);
    JavaCompilerPath = "/opt/jdk/bin/javac";
    frame->SaveSettings();
    JavaCompilerPath.clear();
    Restart();
    EXPECT_EQ(frame->Font.family(), "DejaVu Sans Mono");
    EXPECT_EQ(FontSize(frame->Font, frame->PixelsPerInch), 14);
    EXPECT_EQ(JavaCompilerPath, "/opt/jdk/bin/javac") << "a missing compiler is kept as it is";
}

TEST_F(Settings, NamesAreNormalisedWhenApplied)
{
    PutStore(FontKey() + "\"FontName\"=\"\"\r\n\"FontSize\"=dword:00000008\r\n");
    Restart();
    EXPECT_EQ(frame->Font.family(), "Courier");
    EXPECT_NE(Store().find("\"FontName\"=\"Courier\""), std::string::npos);

    const std::string forty(40, 'F');
    PutStore(FontKey() + "\"FontName\"=\"" + forty + "\"\r\n");
    Restart();
    EXPECT_EQ(frame->Font.family().toStdString(), forty.substr(0, 31));
    EXPECT_NE(Store().find("\"FontName\"=\"" + forty.substr(0, 31) + "\""), std::string::npos);
}

TEST_F(Settings, WrongTypesAreReportedAtEveryStart)
{
    const std::string stored = FontKey() + "\"FontName\"=\"Serif\"\r\n\"FontSize\"=\"12\"\r\n";
    PutStore(stored);
    answers = {mrOk};
    Restart();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, "Invalid data type for 'FontSize'.");
    EXPECT_EQ(asked[0].Caption, "Zorvane Java Editor");
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->Font.family(), "Serif") << "the name read before the failure stays";
    EXPECT_EQ(FontSize(frame->Font, frame->PixelsPerInch), 8);
    EXPECT_NE(Store().find("\"FontSize\"=\"12\""), std::string::npos) << "nothing is stored over it";

    PutStore(FontKey() + "\"FontSize\"=\"twelve\"\r\n");
    answers = {mrOk};
    Restart();
    EXPECT_EQ(asked.back().Text, "Failed to get data for 'FontSize'.");

    PutStore(CompilerKey() + "@=dword:00000001\r\n");
    answers = {mrOk};
    Restart();
    EXPECT_EQ(asked.back().Text, "Invalid data type for ''.");

    // Storing through the program writes the size as a number and ends it.
    PutStore(stored);
    answers = {mrOk};
    Restart();
    frame->SaveSettings();
    asked.clear();
    Restart();
    EXPECT_TRUE(asked.empty());
}

TEST_F(Settings, ADamagedStoreSurvivesAStartUnchanged)
{
    const std::string damaged = "REGEDIT4\r\n\r\n" + FontKey() + "\"FontName\"=\"Cour";
    std::filesystem::create_directories(std::filesystem::path(RegistryFileName()).parent_path());
    Put(RegistryFileName(), damaged);
    answers = {mrOk};
    Restart();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].Text.indexOf(QString::fromStdString(RegistryFileName())), -1) << asked[0].Text.toStdString();
    EXPECT_NE(asked[0].Text.indexOf("line 4"), -1) << asked[0].Text.toStdString();
    EXPECT_EQ(Get(RegistryFileName()), damaged);
    EXPECT_EQ(frame->Font.family(), "Courier");
}

TEST_F(Settings, SizesRoundTripAtEveryResolution)
{
    for (int ppi : {96, 120}) {
        frame->PixelsPerInch = ppi;
        for (int size = 1; size <= 99; ++size) {
            SetFontSize(frame->Font, size, ppi);
            frame->SaveSettings();
            SetFontSize(frame->Font, 50, ppi);
            frame->ReadWriteSettings(false);
            ASSERT_EQ(FontSize(frame->Font, ppi), size) << size << " at " << ppi;
        }
    }
}

TEST_F(Settings, StoringGivesEveryEditorTheFont)
{
    TcwEdit* first = NewEditor(dtJava);
    TcwEdit* second = NewEditor(dtText);
    frame->SetEditorFontName("DejaVu Serif");
    SetFontSize(frame->Font, 20, frame->PixelsPerInch);
    EXPECT_FALSE(HasEditorFont(first));
    frame->SaveSettings();
    for (TcwEdit* editor : {first, second})
        EXPECT_TRUE(HasEditorFont(editor));
}

TEST_F(Settings, ValuesLongerThanTheSettingsCanUseAreDamage)
{
    struct Case {
        const char* what;
        std::string store;
        const char* message;
    };
    const std::string compiler = CompilerKey() + "@=\"/usr/bin/javac\"\r\n";
    std::string manyLines;
    while (manyLines.size() <= (1 << 20))
        manyLines += "; a comment that makes the file large\r\n";
    const Case cases[] = {
        {"a font name", FontKey() + "\"FontName\"=\"" + std::string(256, 'F') + "\"\r\n" + compiler,
         "line 4: the value is longer than 255 bytes"},
        {"a compiler path", CompilerKey() + "@=\"/" + std::string(4096, 'p') + "\"\r\n",
         "line 4: the value is longer than 4096 bytes"},
        {"a line of megabytes", FontKey() + "\"FontName\"=\"" + std::string(3 << 20, 'F') + "\"\r\n",
         "line 4: a line is longer than 65536 bytes"},
        {"a file of megabytes", manyLines, "the file is longer than 1 MB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PutStore(c.store);
        JavaCompilerPath = "before";
        answers = {mrOk};
        Restart();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_NE(asked[0].Text.indexOf(QString::fromStdString("' is damaged at ")), -1);
        EXPECT_NE(asked[0].Text.indexOf(QString::fromLatin1(c.message)), -1) << asked[0].Text.toStdString();
        EXPECT_EQ(JavaCompilerPath, "before");
        EXPECT_EQ(Store(), "REGEDIT4\r\n\r\n" + c.store) << "a damaged store is never written";
        asked.clear();
    }
}

// A store that cannot be written (its lock cannot be made, as in a read-only
// folder, also for root) is read whole and said once in the status bar.
TEST_F(Settings, AStoreThatCannotBeWrittenIsReadWholeAndSaidOnce)
{
    const std::string complete = FontKey() + "\"FontName\"=\"Serif\"\r\n\"FontSize\"=dword:0000000c\r\n\r\n"
                                 + CompilerKey() + "@=\"/opt/javac\"\r\n";
    PutStore(complete);
    std::filesystem::remove(RegistryFileName() + ".lock");
    std::filesystem::create_directory(RegistryFileName() + ".lock");
    Restart();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(Status(), "") << "a complete store needs no write";
    EXPECT_EQ(frame->Font.family(), "Serif");
    EXPECT_EQ(JavaCompilerPath, "/opt/javac");

    PutStore(CompilerKey() + "@=\"/opt/javac\"\r\n");
    JavaCompilerPath.clear();
    Restart();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(JavaCompilerPath, "/opt/javac") << "the missing font does not cost the compiler";
    EXPECT_TRUE(Status().startsWith("The settings are not stored: Cannot lock the registry file")) << Status().toStdString();
    EXPECT_EQ(Store(), "REGEDIT4\r\n\r\n" + CompilerKey() + "@=\"/opt/javac\"\r\n");
    std::filesystem::remove(RegistryFileName() + ".lock");
}

TEST_F(Settings, ATypefaceNotInstalledShowsAsTheDesktopsFixedPitchFont)
{
    const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    struct Case {
        const char* stored;
        QString shown;
    };
    // The form's own "Courier" is not installed here either.
    const Case cases[] = {{"No Such Face", fixed}, {"Courier", fixed}, {"DejaVu Serif", "DejaVu Serif"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        PutStore(FontKey() + "\"FontName\"=\"" + c.stored + "\"\r\n\"FontSize\"=dword:0000000e\r\n");
        Restart();
        TcwEdit* editor = NewEditor(dtJava);
        EXPECT_EQ(editor->memText->EditorFont().family(), c.shown);
        EXPECT_EQ(std::lround(editor->memText->EditorFont().pointSizeF()), 14) << "at the configured size";
        // The name stays as it is, in the frame and the store alike.
        EXPECT_EQ(frame->Font.family(), c.stored);
        EXPECT_NE(Store().find(std::string("\"FontName\"=\"") + c.stored + "\""), std::string::npos);
        editor->close();
    }
}
