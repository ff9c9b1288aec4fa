// Files changed by another program while their documents are open.
#include "cedit.h"
#include "editortest.h"
#include "richedit.h"

#include <filesystem>

using namespace zj;

namespace {

class OnDisk : public EditorTest {
protected:
    QString Quoted(const char* text, const std::string& name) const
    {
        return QString::fromUtf8(text).arg(QString::fromStdString(Path(name)));
    }
};

} // namespace

// An unmodified document follows its file at once, the caret on its line and
// the old text one Undo away; a file rewritten as it was (same size, written
// within the same clock tick) is told apart by its content.
TEST_F(OnDisk, AnUnmodifiedDocumentIsReloaded)
{
    Put(Path("a.txt"), "one\ntwo\nthree\n");
    TcwEdit* editor = Open(Path("a.txt"));
    Select(editor, 6, 0); // line 2, column 3
    Put(Path("a.txt"), "one\ntwo\nthree\n");
    editor->CheckFileOnDisk();
    EXPECT_TRUE(status.isEmpty()) << "the same content is no change";

    Put(Path("a.txt"), "ONE\ntwo\nthree\n");
    editor->CheckFileOnDisk();
    EXPECT_EQ(Text(editor), "ONE\ntwo\nthree\n");
    EXPECT_EQ(status, Quoted("'%1' was changed by another program and has been reloaded.", "a.txt"));
    EXPECT_FALSE(editor->memText->Modified());
    EXPECT_EQ(editor->memText->CaretLine(), 1);
    EXPECT_EQ(Selection(editor), std::make_pair(6, 0));
    EXPECT_TRUE(asked.empty());

    status.clear();
    editor->CheckFileOnDisk();
    EXPECT_TRUE(status.isEmpty()) << "told once";
    editor->Undo();
    EXPECT_EQ(Text(editor), "one\ntwo\nthree\n");
    EXPECT_TRUE(editor->memText->Modified());
    // The reloaded text is the file's: saved again, it writes the same bytes.
    Put(Path("a.txt"), "x\r\ny\n");
    answers.push_back(mrYes);
    editor->CheckFileOnDisk();
    EXPECT_TRUE(editor->Save());
    EXPECT_EQ(Get(Path("a.txt")), "x\r\ny\n");
}

// A modified document asks; No keeps its text until the file changes again.
TEST_F(OnDisk, AModifiedDocumentAsks)
{
    Put(Path("b.txt"), "old");
    TcwEdit* editor = Open(Path("b.txt"));
    Type(editor, "mine ");
    Put(Path("b.txt"), "theirs");
    answers.push_back(mrNo);
    editor->CheckFileOnDisk();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, Quoted("'%1' was changed by another program. Reload it and lose your changes?", "b.txt"));
    EXPECT_EQ(asked[0].Buttons, (std::vector<TMsgDlgBtn>{TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo}));
    EXPECT_EQ(Text(editor), "mine old");
    editor->CheckFileOnDisk();
    EXPECT_EQ(asked.size(), 1u) << "not again for the same change";

    Put(Path("b.txt"), "theirs again");
    answers.push_back(mrYes);
    editor->CheckFileOnDisk();
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(Text(editor), "theirs again");
    EXPECT_FALSE(editor->memText->Modified());
}

// A file deleted or moved away: the text stays and counts as unsaved.
TEST_F(OnDisk, AFileThatIsGoneLeavesTheDocumentModified)
{
    Put(Path("c.txt"), "kept");
    TcwEdit* editor = Open(Path("c.txt"));
    std::filesystem::rename(Path("c.txt"), Path("moved.txt"));
    editor->CheckFileOnDisk();
    EXPECT_EQ(status, Quoted("'%1' no longer exists on disk.", "c.txt"));
    EXPECT_TRUE(editor->memText->Modified());
    EXPECT_EQ(Text(editor), "kept");
    status.clear();
    editor->CheckFileOnDisk();
    EXPECT_TRUE(status.isEmpty());
    // Saving puts it back, without a question.
    EXPECT_TRUE(editor->Save());
    EXPECT_EQ(Get(Path("c.txt")), "kept");
    EXPECT_TRUE(asked.empty());
}

// Save asks before it overwrites another program's work, also when the
// change was never noticed; No saves nothing, and a close waits.
TEST_F(OnDisk, SaveAsksBeforeOverwritingAChange)
{
    Put(Path("d.txt"), "old");
    TcwEdit* editor = Open(Path("d.txt"));
    Type(editor, "mine ");
    Put(Path("d.txt"), "theirs");
    answers.push_back(mrNo);
    EXPECT_FALSE(editor->Save());
    EXPECT_EQ(asked.back().Text,
              Quoted("'%1' was changed by another program since it was opened. Replace it with this document?",
                     "d.txt"));
    EXPECT_EQ(asked.back().Buttons, (std::vector<TMsgDlgBtn>{TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo}));
    EXPECT_EQ(Get(Path("d.txt")), "theirs");
    EXPECT_TRUE(editor->memText->Modified());

    answers.push_back(mrYes); // save changes?
    answers.push_back(mrNo);  // replace?
    EXPECT_FALSE(editor->close());
    EXPECT_EQ(Get(Path("d.txt")), "theirs");

    answers.push_back(mrYes);
    EXPECT_TRUE(editor->Save());
    EXPECT_EQ(Get(Path("d.txt")), "mine old");
    EXPECT_TRUE(editor->Save()) << "its own save is no change by another program";
    EXPECT_EQ(asked.size(), 4u);
}
