// Reading a file and saving a text a piece at a time, on every platform.
#include "exceptions.h"
#include "fileio.h"
#include "textconv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

using namespace zj;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

class FilePieces : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("zj_pieces_" + std::to_string(std::random_device()()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path(const char* name) const { return (dir / name).string(); }
    static void Put(const std::string& path, const std::string& data)
    {
        std::ofstream(fs::u8path(path), std::ios::binary) << data;
    }
    static std::string Get(const std::string& path)
    {
        std::ifstream in(fs::u8path(path), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path dir;
};

} // namespace

TEST_F(FilePieces, PiecesAreWholeChunksThenTheRest)
{
    struct Case {
        std::string content;
        std::size_t chunk;
        std::vector<std::size_t> sizes;
    };
    const Case cases[] = {
        {"", 4, {}},
        {"a\0\r\n"s, 4, {4}},    // exactly one chunk
        {"a\0\r\nb"s, 4, {4, 1}}, // one byte more
        {"abcdefghi", 4, {4, 4, 1}},
        {"abc", 1, {1, 1, 1}},
    };
    for (const Case& c : cases) {
        Put(Path("f.txt"), c.content);
        std::vector<std::size_t> sizes;
        std::string joined;
        ReadFileChunks(Path("f.txt"), c.chunk, [&](std::string_view piece) {
            sizes.push_back(piece.size());
            joined.append(piece);
        });
        EXPECT_EQ(sizes, c.sizes) << c.content;
        EXPECT_EQ(joined, c.content);
    }
}

TEST_F(FilePieces, OnlyExistingRegularFilesAreRead)
{
    for (const std::string& name : {Path("missing.txt"), dir.string()}) {
        try {
            ReadFileChunks(name, 4, [](std::string_view) { ADD_FAILURE() << "a piece"; });
            ADD_FAILURE() << "read " << name;
        } catch (const EFOpenError& e) {
            EXPECT_EQ(e.Message(), "Cannot open file " + name);
        }
    }
}

// The save converts the breaks on its way to the file, also where a CR LF
// straddles two of its slices (a megabyte each) or two of the pieces it is
// given, and writes the slices that need nothing as they are.
TEST_F(FilePieces, SavesWithCrLfBreaks)
{
    const std::string megabyteOfCrLf = std::string((1 << 20) - 2, 'x') + "\r\n";
    const std::vector<std::vector<std::string>> cases = {
        {std::string((1 << 20) - 1, 'x') + "\r\n" + std::string(1 << 20, 'y') + "\rlone\nend\r"},
        {"a\r\n\0b\r\n"s},
        {"a\r", "\nb\r\n"},
        {"a\r", "", "\nb"},
        {"a\r", "b"},
        {"a\r", "b\r\n", "\nc"},
        {"", "x\ny"},
        {megabyteOfCrLf + megabyteOfCrLf, "z\n"},
        {megabyteOfCrLf + "\n" + megabyteOfCrLf},
    };
    for (const std::vector<std::string>& pieces : cases) {
        const std::vector<std::string_view> views(pieces.begin(), pieces.end());
        std::string whole;
        for (const std::string& piece : pieces)
            whole += piece;
        WriteFileSafely(Path("f.txt"), views, TLineBreaks::CrLf);
        EXPECT_EQ(Get(Path("f.txt")), ToCrLf(whole)) << pieces.size() << " pieces, " << whole.size() << " bytes";
    }
}
