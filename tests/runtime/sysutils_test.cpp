#include "sysutils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace zj;

namespace {
constexpr std::string_view Win = "\\:";
constexpr std::string_view Posix = "/";
} // namespace

TEST(FileNames, WindowsDelimiters)
{
    EXPECT_EQ(ExtractFileExt("C:\\work\\Hello.java", Win), ".java");
    EXPECT_EQ(ExtractFileExt("C:\\work.java\\readme", Win), "");
    EXPECT_EQ(ExtractFileExt("C:readme", Win), "");
    EXPECT_EQ(ExtractFileExt("C:\\x\\Applet.java.bak", Win), ".bak");
    EXPECT_EQ(ExtractFileName("C:\\work\\A.java", Win), "A.java");
    EXPECT_EQ(ExtractFileName("C:A.java", Win), "A.java");
    EXPECT_EQ(ExtractFilePath("C:\\work\\A.java", Win), "C:\\work\\");
    EXPECT_EQ(ExtractFileDir("C:\\work\\zj.exe", Win), "C:\\work");
    EXPECT_EQ(ExtractFileDir("C:\\zj.exe", Win), "C:\\");
    EXPECT_EQ(ChangeFileExt("A.java", ".html", Win), "A.html");
    EXPECT_EQ(ChangeFileExt("Untitled_2.", ".txt", Win), "Untitled_2.txt");
    EXPECT_EQ(ChangeFileExt("C:\\a.b\\noext", ".", Win), "C:\\a.b\\noext.");
}

TEST(FileNames, PosixDelimiters)
{
    EXPECT_EQ(ExtractFileExt("/home/u/Page.HTML", Posix), ".HTML");
    EXPECT_EQ(ExtractFileExt("/home/work.java/readme", Posix), "");
    EXPECT_EQ(ExtractFileExt("/home/a:b.txt", Posix), ".txt");
    EXPECT_EQ(ExtractFileName("/home/u/A.java", Posix), "A.java");
    EXPECT_EQ(ExtractFileName("C:\\A.java", Posix), "C:\\A.java");
    EXPECT_EQ(ExtractFilePath("/home/u/A.java", Posix), "/home/u/");
    EXPECT_EQ(ExtractFileDir("/usr/bin/zjedit", Posix), "/usr/bin");
    EXPECT_EQ(ExtractFileDir("/zjedit", Posix), "/");
    EXPECT_EQ(ChangeFileExt("/a.d/file", ".java", Posix), "/a.d/file.java");
}

TEST(FileExists, FoldersAndOddNamesDoNotCount)
{
    auto dir = std::filesystem::temp_directory_path() / "zj_fileexists";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "f.txt") << "x";
    EXPECT_TRUE(FileExists((dir / "f.txt").string()));
    EXPECT_FALSE(FileExists(dir.string()));
    EXPECT_FALSE(FileExists((dir / "missing").string()));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists((dir / "f.txt").string() + " -g"));
    std::filesystem::remove_all(dir);
}

TEST(Strings, UpperCaseOnlyTouchesAscii)
{
    EXPECT_EQ(UpperCaseAscii("java\xe9z"), "JAVA\xe9Z");
    EXPECT_EQ(FormatMessage("Save %s?", "a%sb"), "Save a%sb?");
}

TEST(FileNames, SameFileAsTheFileSystemSeesIt)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "zj_samefile";
    fs::remove_all(dir);
    fs::create_directories(dir / "sub");
    std::ofstream(dir / "a.txt") << "x";
    const std::string a = (dir / "a.txt").string();
    EXPECT_TRUE(SameFile(a, (dir / "sub" / ".." / "a.txt").string()));
    EXPECT_TRUE(SameFile(a, (dir / "." / "a.txt").string()));
    EXPECT_FALSE(SameFile(a, (dir / "b.txt").string()));
    EXPECT_TRUE(SameFile((dir / "gone.txt").string(), (dir / "sub/../gone.txt").string()))
        << "names compare even when no file exists";
#ifndef _WIN32
    fs::create_symlink(dir / "a.txt", dir / "link.txt");
    EXPECT_TRUE(SameFile(a, (dir / "link.txt").string()));
    EXPECT_FALSE(SameFile(a, (dir / "A.txt").string()));
#endif
    fs::remove_all(dir);
}
