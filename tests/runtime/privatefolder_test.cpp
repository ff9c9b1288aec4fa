#include "privatefolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace zj;
namespace fs = std::filesystem;

namespace {

class PrivateFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        base = fs::temp_directory_path() / ("zj_private_" + std::to_string(std::random_device{}()));
        fs::remove_all(base);
        fs::create_directories(base);
    }
    void TearDown() override { fs::remove_all(base); }

    static std::string Get(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void Put(const fs::path& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }

    fs::path base;
};

TEST_F(PrivateFolder, IsMadeWhenMissingAndKeepsTheUsersFiles)
{
    const fs::path path = base / "a" / "b";
    EXPECT_FALSE(TPrivateFolder(path.string(), false).Valid());
    EXPECT_FALSE(fs::exists(path));
    TPrivateFolder folder(path.string());
    ASSERT_TRUE(folder.Valid());
#ifndef _WIN32
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_all);
#endif
    ASSERT_TRUE(folder.Write("one", "first"));
    ASSERT_TRUE(folder.Write("one", std::string("second\0", 7)));
    ASSERT_TRUE(folder.Write("two", ""));
    std::string data;
    EXPECT_TRUE(folder.Read("one", data));
    EXPECT_EQ(data, std::string("second\0", 7));
    std::vector<std::string> names = folder.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(folder.Remove("two"));
    EXPECT_FALSE(folder.Remove("two"));
    EXPECT_FALSE(folder.Read("two", data));
    // Names lead nowhere outside the folder.
    Put(base / "outside", "x");
    EXPECT_FALSE(folder.Read("../../outside", data));
    EXPECT_FALSE(folder.Remove("../../outside"));
    EXPECT_FALSE(folder.Write("../../outside", "y"));
    EXPECT_EQ(Get(base / "outside"), "x");
}

#ifndef _WIN32

TEST_F(PrivateFolder, TrustsOnlyAFolderOfTheUsersOwnNotReachedThroughALink)
{
    fs::create_directory(base / "real");
    Put(base / "real" / "file", "kept");
    fs::create_directory_symlink(base / "real", base / "link");
    EXPECT_FALSE(TPrivateFolder((base / "link").string()).Valid());
    EXPECT_FALSE(TPrivateFolder((base / "link" / "").string()).Valid());

    // One of the user's own that others could write is made private.
    ::chmod((base / "real").c_str(), 0777);
    EXPECT_TRUE(TPrivateFolder((base / "real").string()).Valid());
    EXPECT_EQ(fs::status(base / "real").permissions(), fs::perms::owner_all);

    if (::geteuid() != 0)
        GTEST_SKIP() << "folders of another user need root";
    fs::create_directory(base / "theirs");
    ASSERT_EQ(::chown((base / "theirs").c_str(), 4242, 4242), 0);
    EXPECT_FALSE(TPrivateFolder((base / "theirs").string()).Valid());
    EXPECT_EQ(fs::status(base / "theirs").permissions(), fs::perms::owner_all | fs::perms::group_read
                                                               | fs::perms::group_exec | fs::perms::others_read
                                                               | fs::perms::others_exec);
    // Nothing is made in their tree either.
    EXPECT_FALSE(TPrivateFolder((base / "theirs" / "mine").string()).Valid());
    EXPECT_FALSE(fs::exists(base / "theirs" / "mine"));
}

TEST_F(PrivateFolder, IgnoresAndKeepsFilesItDoesNotTrust)
{
    TPrivateFolder folder((base / "private").string());
    ASSERT_TRUE(folder.Valid());
    const fs::path inside = base / "private";
    Put(base / "target", "target");
    fs::create_symlink(base / "target", inside / "link");
    Put(inside / "shared", "shared");
    ::chmod((inside / "shared").c_str(), 0620);
    ASSERT_EQ(::mkfifo((inside / "fifo").c_str(), 0600), 0);
    std::vector<std::string> untrusted = {"link", "shared", "fifo"};
    if (::geteuid() == 0) {
        Put(inside / "theirs", "theirs");
        ASSERT_EQ(::chown((inside / "theirs").c_str(), 4242, 4242), 0);
        ::chmod((inside / "theirs").c_str(), 0600);
        untrusted.push_back("theirs");
    }
    for (const std::string& name : untrusted) {
        SCOPED_TRACE(name);
        std::string data;
        EXPECT_FALSE(folder.Read(name, data));
        errno = 0;
        EXPECT_EQ(folder.Open(name, O_RDWR | O_TRUNC), -1);
        EXPECT_EQ(errno, EPERM);
        EXPECT_FALSE(folder.Write(name, "new"));
        EXPECT_FALSE(folder.Remove(name));
        EXPECT_TRUE(fs::exists(fs::symlink_status(inside / name)));
    }
    EXPECT_EQ(Get(base / "target"), "target");
    EXPECT_EQ(Get(inside / "shared"), "shared");

    std::string name;
    const int fd = folder.CreateUnique("save-", name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(name.size(), 11u);
    EXPECT_EQ(fs::status(inside / name).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

#endif

} // namespace
