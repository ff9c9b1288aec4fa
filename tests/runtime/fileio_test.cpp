#include "exceptions.h"
#include "fileio.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zj;
namespace fs = std::filesystem;

namespace {

class FileIo : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("zj_fileio_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        fs::permissions(dir, fs::perms::all);
    }
    void TearDown() override
    {
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir);
    }
    std::string Path(const char* name) const { return (dir / name).string(); }
    static void Put(const std::string& path, const std::string& data)
    {
        std::ofstream(path, std::ios::binary) << data;
    }
    static std::string Get(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    int EntryCount() const
    {
        return static_cast<int>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }
    // Runs fn in a child process, so limits it sets stay there; returns fn's result.
    static bool InChild(const std::function<bool()>& fn, bool unprivileged = false)
    {
        pid_t pid = ::fork();
        if (pid == 0) {
            if (unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(2);
            ::_exit(fn() ? 0 : 1);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    // Without root's privileges, so permission checks apply also when the
    // tests run as root.
    static bool AsUnprivileged(const std::function<bool()>& fn) { return InChild(fn, true); }

    fs::path dir;
};

} // namespace

TEST_F(FileIo, RoundTripsEveryByte)
{
    std::string data("\xef\xbb\xbfnul\0here\xff\xfe\r\nlast", 20);
    WriteFileSafely(Path("a.bin"), data);
    EXPECT_EQ(ReadFileBytes(Path("a.bin")), data);
    WriteFileSafely(Path("a.bin"), "");
    EXPECT_EQ(ReadFileBytes(Path("a.bin")), "");
    EXPECT_EQ(EntryCount(), 1);
}

TEST_F(FileIo, UnreadableFilesRaiseOpenError)
{
    EXPECT_THROW(ReadFileBytes(Path("missing")), EFOpenError);
    try {
        ReadFileBytes(dir.string());
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file " + dir.string());
    }
    // Opens, then fails on the first read.
    EXPECT_THROW(ReadFileBytes("/proc/self/mem"), EFOpenError);
    Put(Path("locked.txt"), "secret");
    ::chmod(Path("locked.txt").c_str(), 0);
    EXPECT_TRUE(AsUnprivileged([&] {
        try {
            ReadFileBytes(Path("locked.txt"));
            return false;
        } catch (const EFOpenError&) {
            return true;
        }
    }));
}

TEST_F(FileIo, FullDiskLeavesTheOldFileWhole)
{
    Put(Path("old.txt"), "the old content");
    std::string big(1 << 20, 'x');
    // A file size limit makes the kernel refuse the writes as a full disk would.
    bool raised = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            WriteFileSafely(Path("old.txt"), big);
            return false;
        } catch (const EWriteError& e) {
            return std::string(e.what()) == "Failed to Save Stream";
        }
    });
    EXPECT_TRUE(raised);
    EXPECT_EQ(Get(Path("old.txt")), "the old content");
    EXPECT_EQ(EntryCount(), 1) << "the temporary file must be removed";
}

TEST_F(FileIo, UncreatableTargetsRaiseCreateError)
{
    fs::create_directory(dir / "folder");
    try {
        WriteFileSafely(Path("folder"), "x");
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file " + Path("folder"));
    }
    EXPECT_THROW(WriteFileSafely(Path("nofolder/a.txt"), "x"), EFCreateError);

    Put(Path("ro.txt"), "keep");
    ::chmod(Path("ro.txt").c_str(), 0444);
    EXPECT_TRUE(AsUnprivileged([&] {
        try {
            WriteFileSafely(Path("ro.txt"), "new");
            return false;
        } catch (const EFCreateError&) {
            return true;
        }
    }));
    EXPECT_EQ(Get(Path("ro.txt")), "keep");
}

TEST_F(FileIo, KeepsPermissionsAndLinks)
{
    Put(Path("target.txt"), "old");
    ::chmod(Path("target.txt").c_str(), 0640);
    fs::create_symlink("target.txt", dir / "link.txt");
    WriteFileSafely(Path("link.txt"), "new");
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
    EXPECT_EQ(Get(Path("target.txt")), "new");
    struct stat st {};
    ::stat(Path("target.txt").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(FileIo, ReadOnlyFolderWithWritableFileIsWrittenInPlace)
{
    fs::create_directory(dir / "ro");
    Put(Path("ro/a.txt"), "old");
    ::chmod(Path("ro/a.txt").c_str(), 0666);
    ::chmod((dir / "ro").c_str(), 0555);
    EXPECT_TRUE(AsUnprivileged([&] {
        WriteFileSafely(Path("ro/a.txt"), "new content");
        return true;
    }));
    EXPECT_EQ(Get(Path("ro/a.txt")), "new content");
    ::chmod((dir / "ro").c_str(), 0755);
}
