#include "savefiles.h"

#include "eintr.h"
#include "fileio.h"
#include "sysutils.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <string_view>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zj {

namespace {

constexpr std::string_view TemporaryPrefix = ".zjsave-";
constexpr std::string_view JournalPrefix = "save-";
constexpr std::string_view CopySuffix = ".old";
constexpr std::string_view RecordMagic = "ZJSAVE1";

std::string OwnName(std::string_view prefix)
{
    return std::string(prefix) + std::to_string(::getpid()) + "-XXXXXX";
}

// The process id in a name "<prefix><pid>-<six letters or digits><suffix>",
// the form OwnName gives mkstemp; 0 for any other name.
pid_t PidInName(std::string_view name, std::string_view prefix, std::string_view suffix = {})
{
    if (name.size() < prefix.size() + suffix.size() || !name.starts_with(prefix) || !name.ends_with(suffix))
        return 0;
    name = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || name.size() - dash - 1 != 6)
        return 0;
    long long pid = 0;
    for (char c : name.substr(0, dash)) {
        if (c < '0' || c > '9' || (pid = pid * 10 + (c - '0')) > INT_MAX)
            return 0;
    }
    for (char c : name.substr(dash + 1))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return 0;
    return static_cast<pid_t>(pid);
}

bool ProcessGone(pid_t pid)
{
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// The file, its identity and its old size, with the path last so that any
// name fits; a record cut short does not read back.
struct Record {
    unsigned long long Device = 0, Inode = 0;
    long long Size = 0;
    std::string Path;

    std::string Text() const
    {
        std::ostringstream out;
        out << RecordMagic << ' ' << Device << ' ' << Inode << ' ' << Size << ' ' << Path.size() << '\n' << Path;
        return out.str();
    }

    bool Read(const std::string& text)
    {
        const std::size_t newline = text.find('\n');
        if (newline == std::string::npos)
            return false;
        std::istringstream header(text.substr(0, newline));
        std::string magic;
        std::size_t length = 0;
        if (!(header >> magic >> Device >> Inode >> Size >> length) || magic != RecordMagic || Size < 0
            || text.size() - newline - 1 != length)
            return false;
        Path = text.substr(newline + 1);
        return true;
    }
};

bool PutBack(int copy, int target, off_t size)
{
    return CopyContent(copy, target, size) && ::ftruncate(target, size) == 0 && ::fsync(target) == 0;
}

void Drop(const std::string& journal, const std::string& copy, const std::string& folder)
{
    // The journal goes first: without it the copy is only a leftover.
    ::unlink(journal.c_str());
    ::unlink(copy.c_str());
    SyncFolder(folder);
}

void RecoverJournal(const std::string& folder, const std::string& name, std::vector<std::string>& recovered)
{
    const std::string journalName = folder + "/" + name;
    const std::string copyName = journalName + std::string(CopySuffix);
    FileDescriptor journal(RetryOnEintr([&] { return ::open(journalName.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC); }));
    struct stat js {};
    // A save that still runs holds the lock; a journal dropped meanwhile has no link left.
    if (!journal.valid() || ::flock(journal.get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(journal.get(), &js) != 0
        || js.st_nlink == 0)
        return;
    std::string text;
    Record record;
    if (!ReadAll(journal.get(), text))
        return;
    if (!record.Read(text)) {
        // Begun, not complete: the file itself was not touched yet.
        if (ProcessGone(PidInName(name, JournalPrefix)))
            Drop(journalName, copyName, folder);
        return;
    }
    FileDescriptor target(RetryOnEintr(
        [&] { return ::open(record.Path.c_str(), O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC); }));
    if (!target.valid()) {
        if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP)
            Drop(journalName, copyName, folder);
        return;
    }
    struct stat ts {};
    if (::fstat(target.get(), &ts) != 0)
        return;
    // Another file has taken the name since: the old content is not its own.
    if (!S_ISREG(ts.st_mode) || ts.st_dev != record.Device || ts.st_ino != record.Inode) {
        Drop(journalName, copyName, folder);
        return;
    }
    FileDescriptor copy(RetryOnEintr([&] { return ::open(copyName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC); }));
    if (!copy.valid()) {
        if (errno == ENOENT)
            Drop(journalName, copyName, folder);
        return;
    }
    if (PutBack(copy.get(), target.get(), record.Size)) {
        Drop(journalName, copyName, folder);
        recovered.push_back(record.Path);
    }
}

} // namespace

std::string TemporaryPattern(const std::string& folder)
{
    return folder + "/" + OwnName(TemporaryPrefix);
}

void RemoveLeftovers(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const uid_t me = ::geteuid();
    while (const dirent* entry = ::readdir(dir)) {
        struct stat st {};
        if (ProcessGone(PidInName(entry->d_name, TemporaryPrefix))
            && ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)
            && st.st_uid == me)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

std::string JournalFolder()
{
    return UserFolder("XDG_CACHE_HOME", ".cache");
}

bool SaveJournal::Begin(const std::string& target, int fd, const struct stat& st)
{
    folder_ = JournalFolder();
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    journal_ = folder_ + "/" + OwnName(JournalPrefix);
    int raw = ::mkostemp(journal_.data(), O_CLOEXEC);
    if (raw < 0)
        return false;
    lock_ = FileDescriptor(raw);
    copy_ = journal_ + std::string(CopySuffix);
    Record record{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
                  static_cast<long long>(st.st_size), std::filesystem::absolute(target, ec).string()};
    bool done = false;
    if (!ec && RetryOnEintr([&] { return ::flock(raw, LOCK_EX); }) == 0) {
        FileDescriptor copy(RetryOnEintr(
            [&] { return ::open(copy_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600); }));
        // The copy is on disk before the record that makes it count.
        done = copy.valid() && CopyContent(fd, copy.get(), st.st_size) && ::fsync(copy.get()) == 0 && copy.close()
               && WriteAll(raw, record.Text()) && ::fsync(raw) == 0;
    }
    if (!done) {
        Commit();
        return false;
    }
    SyncFolder(folder_);
    size_ = st.st_size;
    return true;
}

void SaveJournal::Commit()
{
    Drop(journal_, copy_, folder_);
    lock_.close();
}

bool SaveJournal::Restore(int fd)
{
    FileDescriptor copy(RetryOnEintr([&] { return ::open(copy_.c_str(), O_RDONLY | O_CLOEXEC); }));
    if (copy.valid() && PutBack(copy.get(), fd, size_)) {
        Commit();
        return true;
    }
    // Unlocked, the copy is put back by the next recovery.
    lock_.close();
    return false;
}

std::vector<std::string> RecoverInterruptedSaves()
{
    std::vector<std::string> recovered;
    const std::string folder = JournalFolder();
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    for (const std::string& name : names) {
        if (PidInName(name, JournalPrefix) > 0) {
            RecoverJournal(folder, name, recovered);
        } else if (PidInName(name, JournalPrefix, CopySuffix) > 0) {
            // A save drops its journal before its copy; one that died in
            // between leaves the copy alone.
            const std::string journal = folder + "/" + name.substr(0, name.size() - CopySuffix.size());
            if (::access(journal.c_str(), F_OK) != 0 && errno == ENOENT)
                ::unlink((folder + "/" + name).c_str());
        }
    }
    return recovered;
}

} // namespace zj
