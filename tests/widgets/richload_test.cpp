#include "exceptions.h"
#include "richedit.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <filesystem>
#include <fstream>
#include <random>

using namespace zj;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

class RichLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("zj_richload_" + std::to_string(std::random_device()()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Put(const std::string& content) const
    {
        const std::string path = (dir / "f.txt").string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    long Send(unsigned int message) { return edit.SendScintilla(message); }

    fs::path dir;
    TRichEdit edit;
};

} // namespace

// Whatever size the pieces have, the text is the file's, line breaks as they
// are, and the code page is decided by the whole file: one Latin-1 byte at
// its very end makes it 8-bit.
TEST_F(RichLoad, PiecesOfAnySizeGiveTheWholeFile)
{
    const std::string utf8 = "a\r\nb\rc\nnul\0caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\r"s;
    for (const std::string& content : {utf8, utf8 + "\xe9"})
        for (std::size_t chunk : {1, 2, 3, 5, 7, 64}) {
            edit.setReadOnly(true);
            edit.LoadFromFile(Put(content), chunk);
            EXPECT_EQ(std::string(edit.Bytes()), content) << "pieces of " << chunk;
            EXPECT_EQ(edit.isUtf8(), content == utf8) << "pieces of " << chunk;
            EXPECT_FALSE(edit.Modified());
            EXPECT_EQ(Send(QsciScintillaBase::SCI_CANUNDO), 0);
            EXPECT_TRUE(edit.isReadOnly());
        }
}

// With the real piece size, a CR ending the first piece and its LF starting
// the next stay one break.
TEST_F(RichLoad, PiecesOfTheRealSize)
{
    const std::string text = std::string(TRichEdit::LoadChunkSize - 1, 'a') + "\r\nb";
    edit.LoadFromFile(Put(text));
    EXPECT_EQ(edit.Length(), static_cast<int>(text.size()));
    EXPECT_EQ(edit.LineCount(), 2);
}

TEST_F(RichLoad, AFileThatCannotBeReadLeavesTheText)
{
    edit.LoadBytes("kept");
    EXPECT_THROW(edit.LoadFromFile(dir.string()), EFOpenError);
    EXPECT_THROW(edit.LoadFromFile("/proc/self/mem"), EFOpenError);
    EXPECT_EQ(std::string(edit.Bytes()), "kept");
}

// A load shows the start of the text, also after the view was scrolled to
// the end of a long line.
TEST_F(RichLoad, ALoadShowsTheStart)
{
    edit.resize(300, 200);
    edit.show();
    const std::string line(5000, 'x');
    for (int reload = 0; reload < 2; ++reload) {
        edit.LoadBytes(line + "\r\n" + line);
        QApplication::processEvents();
        EXPECT_EQ(Send(QsciScintillaBase::SCI_GETXOFFSET), 0);
        EXPECT_EQ(Send(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE), 0);
        EXPECT_EQ(edit.SelStart(), 0);
        EXPECT_EQ(edit.SelLength(), 0);
        edit.SetSel(edit.Length(), 0);
        Send(QsciScintillaBase::SCI_SCROLLCARET);
        ASSERT_GT(Send(QsciScintillaBase::SCI_GETXOFFSET), 0);
    }
}
