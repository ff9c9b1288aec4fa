#include "exceptions.h"
#include "fileio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <thread>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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
        // Open to all, so that a save as another user can make its own cache folder here.
        cache = fs::temp_directory_path() / ("zj_fileio_cache_" + std::to_string(::getpid()));
        fs::create_directories(cache);
        fs::permissions(cache, fs::perms::all);
        ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("XDG_CACHE_HOME");
        for (const fs::path& folder : {dir, cache}) {
            for (const auto& entry : fs::recursive_directory_iterator(folder))
                if (!entry.is_symlink() && entry.is_directory())
                    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
            fs::remove_all(folder);
        }
    }
    // What the program keeps in the cache folders of its users: nothing once
    // every save has ended.
    std::vector<std::string> CacheEntries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(cache))
            if (entry.path().parent_path().filename() == "zorvane-java-editor")
                names.push_back(entry.path().filename().string());
        return names;
    }
    // The journal folder of the user running the tests.
    fs::path Journals() const { return cache / "zorvane-java-editor"; }
    // A cache folder of the user's own, as every user has one.
    static void UseOwnCache()
    {
        const std::string own = std::string(std::getenv("XDG_CACHE_HOME")) + "/" + std::to_string(::geteuid());
        ::mkdir(own.c_str(), 0700);
        ::setenv("XDG_CACHE_HOME", own.c_str(), 1);
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
        return Finished(Start(fn, unprivileged));
    }
    static pid_t Start(const std::function<bool()>& fn, bool unprivileged = false)
    {
        pid_t pid = ::fork();
        if (pid == 0) {
            if (unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(2);
            if (unprivileged)
                UseOwnCache();
            try {
                ::_exit(fn() ? 0 : 1);
            } catch (...) {
                ::_exit(1);
            }
        }
        return pid;
    }
    static bool Finished(pid_t pid)
    {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    // Without root's privileges, so permission checks apply also when the
    // tests run as root.
    static bool AsUnprivileged(const std::function<bool()>& fn) { return InChild(fn, true); }
    // As user 6666 of group 5555, also a member of group 4343 (root only).
    static bool AsGroupMember(const std::function<bool()>& fn)
    {
        return InChild([&] {
            const gid_t groups[] = {4343};
            if (::setgroups(1, groups) != 0 || ::setgid(5555) != 0 || ::setuid(6666) != 0)
                return false;
            UseOwnCache();
            return fn();
        });
    }

    fs::path dir;
    fs::path cache;
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

TEST_F(FileIo, AFullDiskDuringASaveInPlaceKeepsTheOldContent)
{
    // In a read-only folder the file is written in place; a file size limit
    // makes the kernel refuse writes as a full disk would.
    fs::create_directory(dir / "ro");
    const std::string name = Path("ro/a.txt");
    struct Case {
        const char* what;
        std::string old, next;
    };
    const Case cases[] = {
        // Refused before the first byte of the file changes.
        {"no room for the larger text", std::string(3000, 'o'), std::string(1 << 20, 'n')},
        {"no room for the copy of the old text", std::string(10000, 'o'), std::string(100, 'n')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::chmod((dir / "ro").c_str(), 0755);
        Put(name, c.old);
        ::chmod(name.c_str(), 0666);
        ::chmod((dir / "ro").c_str(), 0555);
        EXPECT_TRUE(AsUnprivileged([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            try {
                WriteFileSafely(name, c.next);
                return false;
            } catch (const EWriteError& e) {
                return e.Message() == "Failed to Save Stream";
            }
        }));
        EXPECT_EQ(Get(name), c.old);
        EXPECT_TRUE(CacheEntries().empty());
    }
}

TEST_F(FileIo, SavingAnotherUsersFileKeepsItsOwnerAndGroup)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making files of other users needs root";
    struct Case {
        const char* what;
        uid_t uid;
        gid_t gid;
    };
    // The saver is user 6666 of group 5555, also in group 4343.
    const Case cases[] = {
        {"another user's file in a shared group", 4242, 4343},
        {"own file in a secondary group", 6666, 4343},
        {"own file in a group the saver left", 6666, 7777},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = Path("shared.java");
        Put(name, "old");
        ASSERT_EQ(::chown(name.c_str(), c.uid, c.gid), 0);
        ::chmod(name.c_str(), 0664);
        EXPECT_TRUE(AsGroupMember([&] {
            WriteFileSafely(name, "new");
            return true;
        }));
        struct stat st {};
        ASSERT_EQ(::stat(name.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, c.uid);
        EXPECT_EQ(st.st_gid, c.gid);
        EXPECT_EQ(st.st_mode & 07777, 0664u);
        EXPECT_EQ(Get(name), "new");
        EXPECT_EQ(EntryCount(), 1);
        EXPECT_TRUE(CacheEntries().empty());
    }
}

TEST_F(FileIo, AFileWithSeveralNamesStaysOneFile)
{
    Put(Path("a.txt"), "old");
    fs::create_hard_link(dir / "a.txt", dir / "b.txt");
    WriteFileSafely(Path("a.txt"), "new content");
    EXPECT_EQ(Get(Path("b.txt")), "new content");
    // Written in place, the file takes the converted size.
    WriteFileSafely(Path("a.txt"), "a\nb\r", TLineBreaks::CrLf);
    EXPECT_EQ(Get(Path("b.txt")), "a\r\nb\r\n");
    EXPECT_EQ(fs::hard_link_count(dir / "a.txt"), 2u);
    EXPECT_EQ(EntryCount(), 2);
    EXPECT_TRUE(CacheEntries().empty());
}

TEST_F(FileIo, TheLongestNamesCanBeSaved)
{
    const std::string name = Path((std::string(250, 'n') + ".java").c_str());
    WriteFileSafely(name, "first");
    WriteFileSafely(name, "second");
    EXPECT_EQ(ReadFileBytes(name), "second");
    EXPECT_EQ(EntryCount(), 1);
}

TEST_F(FileIo, LeftoversOfEndedSavesAreRemovedAndNothingElse)
{
    pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string dead = std::to_string(ended), alive = std::to_string(::getpid());
    struct Entry {
        fs::path name;
        bool kept;
        uid_t owner = 0;
    };
    const fs::path journals = Journals();
    std::vector<Entry> entries = {
        {dir / (".zjsave-" + dead + "-a1B2c3"), false},
        {dir / (".zjsave-" + alive + "-a1B2c3"), true}, // a save that still runs
        {dir / (".zjsave-" + dead + "-a1B2"), true},    // not a name the program gives
        {dir / ".a.txt.Xy12Za", true},
        {dir / "notes.txt", true},
        // A copy whose journal is gone, a journal whose save never began, and one still being begun.
        {journals / ("save-" + dead + "-q1w2e3.old"), false},
        {journals / ("save-" + dead + "-r4t5y6"), false},
        {journals / ("save-" + alive + "-u7i8o9"), true},
    };
    if (::geteuid() == 0)
        entries.push_back({dir / (".zjsave-" + dead + "-zZ9zZ9"), true, 4242}); // another user's
    fs::create_directory(journals);
    for (const Entry& entry : entries) {
        Put(entry.name.string(), "x");
        if (entry.owner) {
            ASSERT_EQ(::chown(entry.name.c_str(), entry.owner, entry.owner), 0);
        }
    }
    WriteFileSafely(Path("a.txt"), "saved");
    for (const Entry& entry : entries)
        EXPECT_EQ(fs::exists(entry.name), entry.kept) << entry.name;
    EXPECT_EQ(Get(Path("a.txt")), "saved");
}

TEST_F(FileIo, OnlyRegularFilesAreReadOrSaved)
{
    ASSERT_EQ(::mkfifo(Path("fifo.java").c_str(), 0666), 0);
    fs::create_symlink("fifo.java", dir / "tofifo.java");
    fs::create_symlink("loop2.java", dir / "loop1.java");
    fs::create_symlink("loop1.java", dir / "loop2.java");
    std::vector<std::string> names = {Path("fifo.java"), Path("tofifo.java"), Path("loop1.java")};
    if (::mknod(Path("null.java").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0)
        names.push_back(Path("null.java"));
    const int entries = EntryCount();
    for (const std::string& name : names) {
        struct stat before {}, after {};
        ::lstat(name.c_str(), &before);
        try {
            ReadFileBytes(name);
            ADD_FAILURE() << "read " << name;
        } catch (const EFOpenError& e) {
            EXPECT_EQ(e.Message(), "Cannot open file " + name);
        }
        try {
            ReadFileChunks(name, 4, [](std::string_view) {});
            ADD_FAILURE() << "read in pieces " << name;
        } catch (const EFOpenError& e) {
            EXPECT_EQ(e.Message(), "Cannot open file " + name);
        }
        try {
            WriteFileSafely(name, "text");
            ADD_FAILURE() << "saved " << name;
        } catch (const EFCreateError& e) {
            EXPECT_EQ(e.Message(), "Cannot create file " + name);
        }
        ::lstat(name.c_str(), &after);
        EXPECT_EQ(after.st_mode, before.st_mode) << name;
        EXPECT_EQ(after.st_ino, before.st_ino) << name;
    }
    EXPECT_EQ(EntryCount(), entries);
    EXPECT_THROW(ReadFileBytes("/dev/zero"), EFOpenError);
}

namespace {

// Text whose every stretch differs from another seed's, so a torn file
// equals neither.
std::string Document(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string text;
    text.reserve(size + 32);
    while (text.size() < size)
        text += "    int value" + std::to_string(random()) + ";\r\n";
    return text;
}

} // namespace

// A child saves a large document over the other and is killed at a random
// moment; the next start's recovery must find the whole old or the whole new
// document, and nothing left over.
TEST_F(FileIo, KilledSavesLeaveTheOldOrTheNewContentAndNoLeftovers)
{
#ifdef ZJ_SANITIZE
    // Hundreds of instrumented processes started and killed: minutes under the
    // sanitizers, which have nothing to find here that the other tests miss.
    GTEST_SKIP() << "too slow under the sanitizers";
#endif
    const std::string documents[] = {Document(4 << 20, 1), Document(3 << 20, 2)};
    const unsigned seed = std::random_device()();
    std::mt19937 random(seed);
    for (const bool readOnly : {false, true}) {
        const char* what = readOnly ? "read-only folder" : "writable folder";
        SCOPED_TRACE(what);
        const fs::path folder = dir / (readOnly ? "ro" : "rw");
        fs::create_directory(folder);
        const std::string target = (folder / "Big.java").string();
        Put(target, documents[0]);
        ::chmod(target.c_str(), 0666);
        if (readOnly) {
            ::chmod(folder.c_str(), 0555);
            if (!AsUnprivileged([&] { return ::access(folder.c_str(), W_OK) != 0; })) {
                std::cout << "skipped the read-only folder: no unprivileged user to run as\n";
                continue;
            }
        }
        auto save = [&](const std::string& text) {
            return Start(
                [&] {
                    WriteFileSafely(target, text);
                    return true;
                },
                readOnly);
        };
        // Entries of the folder besides the target.
        auto others = [&] { return std::distance(fs::directory_iterator(folder), fs::directory_iterator()) - 1; };

        // Kill moments spread over the time of an uninterrupted save.
        const auto started = std::chrono::steady_clock::now();
        auto once = std::chrono::steady_clock::duration::max();
        for (int i = 1; i <= 3; ++i) {
            const auto start = std::chrono::steady_clock::now();
            ASSERT_TRUE(Finished(save(documents[i % 2])));
            once = std::min(once, std::chrono::steady_clock::now() - start);
        }
        std::uniform_int_distribution<long long> moment(
            0, std::chrono::duration_cast<std::chrono::microseconds>(once).count());
        int kills = 0, olds = 0, news = 0, putBack = 0, attempts = 0;
        for (; kills < 100 && attempts < 1000; ++attempts) {
            const std::string old = Get(target);
            const std::string& next = old == documents[0] ? documents[1] : documents[0];
            const pid_t pid = save(next);
            std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
            ::kill(pid, SIGKILL);
            int status = 0;
            ::waitpid(pid, &status, 0);
            if (!WIFSIGNALED(status))
                continue; // done before the kill
            ++kills;
            // The next start, as the user who saved.
            putBack += !InChild([] { return RecoverInterruptedSaves().empty(); }, readOnly);
            const std::string now = Get(target);
            olds += now == old;
            news += now == next;
            EXPECT_TRUE(now == old || now == next) << "torn by kill " << kills << ", seed " << seed;
            EXPECT_TRUE(CacheEntries().empty()) << "after kill " << kills;
            EXPECT_EQ(others(), 0) << "temporary file left by kill " << kills;
        }
        EXPECT_EQ(kills, 100);
        ASSERT_TRUE(Finished(save(documents[0])));
        EXPECT_EQ(others(), 0);
        EXPECT_EQ(Get(target), documents[0]);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::cout << what << ": " << kills << " saves killed (" << attempts << " started), " << olds << " old ("
                  << putBack << " put back), " << news << " new, " << seconds << " s (one save "
                  << std::chrono::duration<double, std::milli>(once).count() << " ms)\n";
    }
}

namespace {

// Reads the first bytes of a file, as much as there is of them.
std::string Head(const std::string& path, std::size_t size)
{
    std::ifstream in(path, std::ios::binary);
    std::string data(size, '\0');
    in.read(data.data(), static_cast<std::streamsize>(size));
    data.resize(static_cast<std::size_t>(in.gcount()));
    return data;
}

} // namespace

// A save in place killed once the file has begun to change leaves its journal
// behind. Its old content goes back only when the file is as that save left
// it, from a copy that is whole and the user's own.
TEST_F(FileIo, ACutShortSaveIsPutBackOnlyOverTheFileItLeft)
{
    const std::string old = Document(8 << 20, 3), next = Document(6 << 20, 4);
    const std::string name = Path("Torn.java");
    // A second name has the save write in place.
    Put(name, old);
    fs::create_hard_link(name, dir / "Other.java");
    auto cutShort = [&] {
        for (int attempt = 0; attempt < 50; ++attempt) {
            Put(name, old);
            const pid_t pid = Start([&] {
                WriteFileSafely(name, next);
                return true;
            });
            while (Head(name, 4096) != next.substr(0, 4096) && ::waitpid(pid, nullptr, WNOHANG) == 0)
                ;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            const std::string now = Get(name);
            if (!CacheEntries().empty() && now != old && now != next)
                return now;
            RecoverInterruptedSaves();
        }
        ADD_FAILURE() << "no save was cut short";
        return std::string();
    };
    auto copyOf = [&] {
        for (const auto& entry : fs::directory_iterator(Journals()))
            if (entry.path().extension() == ".old")
                return entry.path();
        return fs::path();
    };
    auto keptCopy = [&](const std::vector<TInterruptedSave>& found) {
        EXPECT_EQ(found.size(), 1u);
        EXPECT_TRUE(found.empty() || found[0].FileName == name);
        EXPECT_EQ(CacheEntries().size(), 1u);
        return found.empty() ? std::string() : found[0].KeptIn;
    };

    {
        SCOPED_TRACE("left as it was");
        cutShort();
        const std::vector<TInterruptedSave> found = RecoverInterruptedSaves();
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].KeptIn, "");
        EXPECT_EQ(Get(name), old);
        EXPECT_TRUE(CacheEntries().empty());
    }
    {
        SCOPED_TRACE("rewritten since by another program");
        cutShort();
        Put(name, "newer work");
        const std::string kept = keptCopy(RecoverInterruptedSaves());
        EXPECT_EQ(Get(name), "newer work");
        EXPECT_EQ(Get(kept), old);
        fs::remove(kept);
    }
    {
        SCOPED_TRACE("a copy shorter than its record");
        const std::string torn = cutShort();
        fs::resize_file(copyOf(), old.size() / 2);
        const std::string kept = keptCopy(RecoverInterruptedSaves());
        EXPECT_EQ(Get(name), torn);
        EXPECT_TRUE(RecoverInterruptedSaves().empty());
        EXPECT_EQ(Get(name), torn);
        fs::remove(kept);
    }
    {
        SCOPED_TRACE("the journal folder reached through a link");
        const std::string torn = cutShort();
        fs::rename(Journals(), cache / "elsewhere");
        fs::create_directory_symlink(cache / "elsewhere", Journals());
        EXPECT_TRUE(RecoverInterruptedSaves().empty());
        EXPECT_EQ(Get(name), torn);
        fs::remove(Journals());
        fs::rename(cache / "elsewhere", Journals());
        RecoverInterruptedSaves();
    }
    if (::geteuid() == 0) {
        SCOPED_TRACE("records of another user");
        const std::string torn = cutShort();
        for (const auto& entry : fs::directory_iterator(Journals()))
            ASSERT_EQ(::chown(entry.path().c_str(), 4242, 4242), 0);
        EXPECT_TRUE(RecoverInterruptedSaves().empty());
        EXPECT_EQ(Get(name), torn);
        EXPECT_EQ(CacheEntries().size(), 2u);
    }
}
