#include "diskfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

using namespace zj;
namespace fs = std::filesystem;

// However the bytes are cut, the hash is the same; any other bytes (one
// more, one less, one changed, a NUL) give another.
TEST(ContentHash, PiecesGiveTheHashOfTheWhole)
{
    const std::string text = std::string("some text\0with a NUL, long enough for several words\r\n", 54);
    const std::uint64_t whole = HashOf(text);
    for (std::size_t size = 1; size <= text.size(); ++size) {
        TContentHash hash;
        for (std::size_t at = 0; at < text.size(); at += size)
            hash.Add(std::string_view(text).substr(at, size));
        EXPECT_EQ(hash.Value(), whole) << "pieces of " << size;
    }
    std::string changed = text;
    changed[20] ^= 1;
    for (const std::string& other : {text + '\0', text.substr(1), changed, std::string()})
        EXPECT_NE(HashOf(other), whole);
}

// A save hashes what it writes as it goes, by a new file or in place (a file
// with a second name), from the control's two pieces split inside a CR LF.
TEST(ContentHash, OfASaveIsOfTheBytesWritten)
{
    const fs::path dir = fs::temp_directory_path() / ("zj_written_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const std::string file = (dir / "f").string();
    const std::string_view lf[] = {"a\nb"}, split[] = {"a\r", "\nb\r"};
    const struct {
        std::span<const std::string_view> Data;
        TLineBreaks Breaks;
        const char* Written;
        bool InPlace;
    } saves[] = {{lf, TLineBreaks::CrLf, "a\r\nb", false},
                 {split, TLineBreaks::Lf, "a\nb\n", false},
                 {split, TLineBreaks::Keep, "a\r\nb\r", true}};
    for (const auto& save : saves) {
        std::error_code ec;
        fs::remove(dir / "link", ec);
        if (save.InPlace)
            fs::create_hard_link(file, dir / "link");
        TContentHash written;
        WriteFileSafely(file, save.Data, save.Breaks, &written);
        EXPECT_EQ(ReadFileBytes(file), save.Written);
        EXPECT_EQ(written.Value(), HashOf(save.Written));
    }
    fs::remove_all(dir);
}

TEST(FileStamp, OnlyARegularFileExists)
{
    const fs::path dir = fs::temp_directory_path() / ("zj_stamp_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const std::string file = (dir / "f").string();
    std::ofstream(file) << "abc";
    const TFileStamp stamp = StampFile(file);
    EXPECT_TRUE(stamp.Exists);
    EXPECT_EQ(stamp.Size, 3u);
    EXPECT_TRUE(stamp.Recent) << "just written";
    EXPECT_TRUE(stamp.Matches(StampFile(file)));
    EXPECT_FALSE(StampFile(dir.string()).Exists);
    EXPECT_FALSE(StampFile((dir / "none").string()).Exists);
    fs::remove_all(dir);
}
