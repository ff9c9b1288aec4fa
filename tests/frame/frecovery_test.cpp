// Recovery copies of unsaved documents: written while the user types, offered
// after the editor was killed, gone after a save, a close or a normal end.
#include "cedit.h"
#include "crecovery.h"
#include "fmain.h"
#include "guitest.h"
#include "privatefolder.h"
#include "recovery.h"
#include "richedit.h"

#include <QApplication>
#include <QProcess>
#include <QThread>

#include <chrono>
#include <csignal>
#include <filesystem>

using namespace zj;
namespace fs = std::filesystem;

namespace {

const char* const SavedText = "class Saved {\n}\n";
const char* const TypedInSaved = "// Gr\xc3\xbc\xc3\x9f" "e\r";
const char* const TypedInNew = "class Neu {}\r\t// \xe2\x82\xac";

class Recovery : public GuiTest {
protected:
    void TearDown() override
    {
        TRecoveryCopier::IdleMs = 2000;
        if (child.state() != QProcess::NotRunning) {
            child.kill();
            child.waitForFinished();
        }
        GuiTest::TearDown();
    }

    fs::path Folder() const { return dir / "state" / "zorvane-java-editor" / "recovery"; }

    // The copies in the folder that read back whole.
    std::vector<TRecoveryCopy> Copies() const
    {
        std::vector<TRecoveryCopy> copies;
        TPrivateFolder folder(Folder().string(), false);
        for (const std::string& name : folder.Names()) {
            std::string data;
            TRecoveryCopy copy;
            if (name.starts_with("copy-") && folder.Read(name, data) && ParseRecoveryCopy(data, copy))
                copies.push_back(std::move(copy));
        }
        return copies;
    }

    // Waits, the windows alive, until count copies are there.
    ::testing::AssertionResult CopiesAppear(std::size_t count) const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (Copies().size() != count) {
            if (std::chrono::steady_clock::now() > deadline)
                return ::testing::AssertionFailure() << Copies().size() << " copies, not " << count;
            QApplication::processEvents();
            QThread::msleep(10);
        }
        return ::testing::AssertionSuccess();
    }

    // An editor of its own that types into the saved file and a new document,
    // its copies written and then killed as a crash would.
    void KilledEditor(int idleMs = 2000)
    {
        Put(Path("Saved.java"), SavedText);
        child.start(QStringLiteral(EDITOR_CHILD), {QString::fromStdString(Path("Saved.java")),
                                                   QString::fromUtf8(TypedInSaved), QString::fromUtf8(TypedInNew),
                                                   QString::number(idleMs)});
        ASSERT_TRUE(child.waitForStarted());
        while (!child.readAllStandardOutput().contains("typed"))
            ASSERT_TRUE(child.waitForReadyRead(30000)) << child.readAllStandardError().toStdString();
        ASSERT_TRUE(CopiesAppear(2));
        // Still running: its copies are not this editor's to offer.
        const std::size_t before = asked.size();
        frame->OfferRecovery();
        EXPECT_EQ(asked.size(), before);
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished());
    }

    TcwEdit* EditorOf(bool untitled) const
    {
        for (TcwEdit* editor : frame->EditorWindows())
            if (editor->Untitled() == untitled)
                return editor;
        return nullptr;
    }

    QProcess child;
};

} // namespace

// Typed into a saved and an untitled document, the editor killed: the next
// start offers both and brings back exactly their bytes, the file untouched.
TEST_F(Recovery, AKilledEditorsDocumentsComeBackByteForByte)
{
    KilledEditor();
    answers.push_back(mrYes);
    frame->OfferRecovery();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, "Unsaved changes to 2 document(s) were kept when the editor last ended. Recover them?");
    EXPECT_EQ(asked[0].Caption, "Confirm");
    EXPECT_EQ(asked[0].Buttons, (std::vector<TMsgDlgBtn>{TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo, TMsgDlgBtn::mbCancel}));

    TcwEdit* saved = EditorOf(false);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->FileName(), Path("Saved.java"));
    EXPECT_EQ(saved->Caption(), "Saved.java");
    // The file's LF break is the one Enter typed.
    EXPECT_EQ(Text(saved), "// Gr\xc3\xbc\xc3\x9f" "e\nclass Saved {\n}\n");
    EXPECT_TRUE(saved->memText->Modified());
    EXPECT_EQ(Get(Path("Saved.java")), SavedText);

    TcwEdit* untitled = EditorOf(true);
    ASSERT_NE(untitled, nullptr);
    EXPECT_EQ(untitled->Caption(), "Untitled_1.java");
    EXPECT_EQ(untitled->DocType(), dtJava);
    EXPECT_EQ(Text(untitled), "class Neu {}\r\n\t// \xe2\x82\xac");
    EXPECT_TRUE(untitled->memText->Modified());

    // The copies are this editor's now: a start meanwhile has nothing to
    // offer, and a save takes the saved one's away.
    EXPECT_EQ(Copies().size(), 2u);
    EXPECT_TRUE(saved->Save());
    EXPECT_EQ(Get(Path("Saved.java")), Text(saved));
    frame->RecoveryStore()->Wait();
    EXPECT_EQ(Copies().size(), 1u);
    Restart();
    frame->OfferRecovery();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_TRUE(Copies().empty()) << "a normal end takes them away";
}

// Cancel keeps the copies for the next start, No discards them; a file
// changed since its copy is not overwritten unasked.
TEST_F(Recovery, CancelKeepsNoDiscards)
{
    KilledEditor(50);
    answers.push_back(mrCancel);
    frame->OfferRecovery();
    EXPECT_TRUE(frame->EditorWindows().isEmpty());
    EXPECT_EQ(Copies().size(), 2u);

    Put(Path("Saved.java"), "changed since");
    answers.push_back(mrYes);
    frame->OfferRecovery();
    TcwEdit* saved = EditorOf(false);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(Get(Path("Saved.java")), "changed since");
    answers.push_back(mrNo);
    EXPECT_FALSE(saved->Save());
    EXPECT_TRUE(asked.back().Text.endsWith("was changed by another program since it was opened. Replace it with "
                                           "this document?"));
    EXPECT_EQ(Get(Path("Saved.java")), "changed since");
    for (TcwEdit* editor : frame->EditorWindows()) {
        answers.push_back(mrNo);
        editor->close();
    }
    Settle();
    frame->RecoveryStore()->Wait();
    EXPECT_TRUE(Copies().empty()) << "closed without saving";

    KilledEditor(50);
    answers.push_back(mrNo);
    frame->OfferRecovery();
    EXPECT_TRUE(frame->EditorWindows().isEmpty());
    EXPECT_TRUE(Copies().empty());
    frame->OfferRecovery();
    EXPECT_EQ(asked.size(), 6u) << "nothing left to offer";
}

// A copy follows the changes and goes when they are saved or given up.
TEST_F(Recovery, ACopyLastsAsLongAsTheChanges)
{
    TRecoveryCopier::IdleMs = 10;
    TcwEdit* editor = OpenSaved("a.txt", "a");
    Type(editor, "b");
    ASSERT_TRUE(CopiesAppear(1));
    EXPECT_EQ(Copies()[0].Text, "ba");
    Type(editor, "c");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Copies().empty() || Copies()[0].Text != "bca") {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        QApplication::processEvents();
    }
    editor->Undo();
    editor->Undo();
    ASSERT_TRUE(CopiesAppear(0)) << "back to the text saved";
    Type(editor, "d");
    ASSERT_TRUE(CopiesAppear(1));
    EXPECT_TRUE(editor->Save());
    ASSERT_TRUE(CopiesAppear(0));

    TcwEdit* untitled = NewEditor(dtText);
    Type(untitled, "x");
    ASSERT_TRUE(CopiesAppear(1));
    EXPECT_EQ(Copies()[0].Caption, "Untitled_1.txt");
    answers.push_back(mrNo);
    untitled->close();
    ASSERT_TRUE(CopiesAppear(0));
}

// A recovery folder that cannot be written: editing goes on, and one status
// message says so.
TEST_F(Recovery, AFolderThatCannotBeWrittenIsToldOnce)
{
    fs::remove_all(Folder());
    Put(Folder().string(), "a file in the way");
    Restart();
    TRecoveryCopier::IdleMs = 10;
    TcwEdit* editor = NewEditor(dtText);
    Type(editor, "x");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Status().startsWith("Recovery copies")) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        QApplication::processEvents();
    }
    EXPECT_EQ(Status(), QString::fromStdString("Recovery copies of unsaved documents cannot be written in '"
                                               + Folder().string() + "'."));
    frame->ShowStatus("later");
    Type(editor, "y");
    QThread::msleep(50);
    Settle();
    frame->RecoveryStore()->Wait();
    Settle();
    EXPECT_EQ(Status(), "later");
    EXPECT_EQ(Text(editor), "xy");
    EXPECT_EQ(Get(Folder().string()), "a file in the way");
}
