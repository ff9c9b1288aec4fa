#include "savefiles.h"

#include "eintr.h"
#include "sysutils.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
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
constexpr std::string_view NotePrefix = "temp-";
constexpr std::string_view CopySuffix = ".old";
constexpr std::string_view RecordMagic = "ZJSAVE2";
// Records of the first version hold no hashes: their copies are never put
// back, only kept aside.
constexpr std::string_view FirstRecordMagic = "ZJSAVE1";

std::string OwnPrefix(std::string_view prefix)
{
    return std::string(prefix) + std::to_string(::getpid()) + "-";
}

// The process id in a name "<prefix><pid>-<six letters or digits><suffix>",
// the form of the names the program gives; 0 for any other name.
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

std::uint64_t PageHash(std::string_view page)
{
    auto mix = [](std::uint64_t h, std::uint64_t word) {
        h ^= word * 0x87c37b91114253d5ull;
        return std::rotl(h, 31) * 0x9e3779b97f4a7c15ull;
    };
    std::uint64_t h = page.size();
    std::size_t at = 0;
    for (; at + 8 <= page.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, page.data() + at, 8);
        h = mix(h, word);
    }
    if (at < page.size()) {
        std::uint64_t word = 0;
        std::memcpy(&word, page.data() + at, page.size() - at);
        h = mix(h, word);
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    return h ^ (h >> 33);
}

// The file, its identity, its old content's length and hash, and what the
// save is about to write, with the path after the header so that any name
// fits. A record cut short does not read back.
struct Record {
    unsigned long long Device = 0, Inode = 0;
    long long OldSize = 0;
    std::uint64_t OldHash = 0;
    long long NewSize = 0;
    std::string Path;
    std::vector<std::uint64_t> NewPages;
    bool Hashed = true;

    std::string Text() const
    {
        std::ostringstream out;
        out << RecordMagic << ' ' << Device << ' ' << Inode << ' ' << OldSize << ' ' << OldHash << ' ' << NewSize
            << ' ' << Path.size() << '\n'
            << Path;
        std::string text = out.str();
        for (std::uint64_t page : NewPages)
            for (int i = 0; i < 8; ++i)
                text += static_cast<char>(page >> (8 * i));
        return text;
    }

    bool Read(const std::string& text)
    {
        const std::size_t newline = text.find('\n');
        if (newline == std::string::npos)
            return false;
        std::istringstream header(text.substr(0, newline));
        std::string magic;
        std::size_t length = 0;
        if (!(header >> magic))
            return false;
        Hashed = magic == RecordMagic;
        if (Hashed ? !(header >> Device >> Inode >> OldSize >> OldHash >> NewSize >> length)
                   : magic != FirstRecordMagic || !(header >> Device >> Inode >> OldSize >> length))
            return false;
        const std::size_t rest = text.size() - newline - 1;
        const auto pages = static_cast<std::size_t>((NewSize + SavePage - 1) / SavePage);
        if (OldSize < 0 || NewSize < 0 || length > rest || rest - length != (Hashed ? pages * 8 : 0))
            return false;
        Path = text.substr(newline + 1, length);
        NewPages.assign(pages, 0);
        for (std::size_t i = 0; i < NewPages.size(); ++i)
            for (int b = 0; b < 8; ++b)
                NewPages[i] |= std::uint64_t(static_cast<unsigned char>(text[newline + 1 + length + i * 8 + b]))
                               << (8 * b);
        return true;
    }
};

bool ReadAt(int fd, char* data, std::size_t size, off_t at)
{
    while (size > 0) {
        const ssize_t n = RetryOnEintr([&] { return ::pread(fd, data, size, at); });
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        at += n;
    }
    return true;
}

bool PutBack(int copy, int target, off_t size)
{
    return CopyContent(copy, target, size) && ::ftruncate(target, size) == 0 && ::fsync(target) == 0;
}

// The copy holds exactly what the record says, checked before a byte of the
// file changes.
bool CopyIsWhole(int copy, const Record& record)
{
    struct stat st {};
    if (::fstat(copy, &st) != 0 || st.st_size != record.OldSize)
        return false;
    if (!record.Hashed)
        return true;
    TPageHashes hashes;
    std::string block(1 << 16, '\0');
    for (off_t at = 0; at < record.OldSize; at += static_cast<off_t>(block.size())) {
        const auto size = static_cast<std::size_t>(std::min<off_t>(block.size(), record.OldSize - at));
        if (!ReadAt(copy, block.data(), size, at))
            return false;
        hashes.Add(std::string_view(block.data(), size));
    }
    hashes.Finish();
    return hashes.Whole() == record.OldHash;
}

// Whether [from, to) of the file holds the old content, and zeros where the
// save had made the file longer.
bool HoldsOldContent(int target, int copy, off_t from, off_t to, off_t oldSize)
{
    std::string mine(1 << 16, '\0'), old(mine.size(), '\0');
    for (off_t at = from; at < to;) {
        const auto size = static_cast<std::size_t>(std::min<off_t>(mine.size(), to - at));
        const auto fromCopy = static_cast<std::size_t>(std::clamp<off_t>(oldSize - at, 0, static_cast<off_t>(size)));
        std::fill(old.begin(), old.end(), '\0');
        if (!ReadAt(target, mine.data(), size, at) || !ReadAt(copy, old.data(), fromCopy, at)
            || std::memcmp(mine.data(), old.data(), size) != 0)
            return false;
        at += static_cast<off_t>(size);
    }
    return true;
}

enum class TFileState { Old, New, Torn, Changed };

// How the file stands against the save the record describes. The save
// writes from the start, whole pages at a time, so a file it left holds the
// new content up to a page's end and the old content after it (with zeros
// where the file was made longer); anything else was written by someone else.
TFileState Classify(int target, off_t size, int copy, const Record& record)
{
    const off_t oldSize = record.OldSize, newSize = record.NewSize;
    if (size != oldSize && size != newSize && size != std::max(oldSize, newSize))
        return TFileState::Changed;
    if (size == oldSize && HoldsOldContent(target, copy, 0, size, oldSize))
        return TFileState::Old;
    off_t written = 0;
    std::string page(SavePage, '\0');
    for (std::uint64_t hash : record.NewPages) {
        const auto length = static_cast<std::size_t>(std::min<off_t>(SavePage, newSize - written));
        if (size - written < static_cast<off_t>(length) || !ReadAt(target, page.data(), length, written)
            || PageHash(std::string_view(page.data(), length)) != hash)
            break;
        written += static_cast<off_t>(length);
    }
    if (written == newSize && size == newSize)
        return TFileState::New;
    return record.Hashed && HoldsOldContent(target, copy, written, size, oldSize) ? TFileState::Torn
                                                                                 : TFileState::Changed;
}

void Drop(const TPrivateFolder& folder, const std::string& journal, const std::string& copy)
{
    // The journal goes first: without it the copy is only a leftover.
    folder.Remove(journal);
    folder.Remove(copy);
    ::fsync(folder.Descriptor());
}

// Moves the copy to a name of its own, which no later recovery takes for a
// journal's, and drops the journal.
void KeepAside(const TPrivateFolder& folder, const std::string& journal, const std::string& copy,
               const std::string& fileName, const char* reason, std::vector<TInterruptedSave>& found)
{
    std::string kept;
    FileDescriptor place(folder.CreateUnique(ExtractFileName(fileName).substr(0, 200) + ".old-", kept));
    if (!place.valid())
        return;
    if (::renameat(folder.Descriptor(), copy.c_str(), folder.Descriptor(), kept.c_str()) != 0) {
        folder.Remove(kept);
        return;
    }
    folder.Remove(journal);
    ::fsync(folder.Descriptor());
    found.push_back({fileName, folder.PathOf(kept), reason});
}

void RecoverJournal(const TPrivateFolder& folder, const std::string& name, std::vector<TInterruptedSave>& found)
{
    const std::string copyName = name + std::string(CopySuffix);
    FileDescriptor journal(folder.Open(name, O_RDWR));
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
            Drop(folder, name, copyName);
        return;
    }
    FileDescriptor copy(folder.Open(copyName, O_RDONLY));
    if (!copy.valid()) {
        if (errno == ENOENT)
            Drop(folder, name, copyName);
        return;
    }
    auto keep = [&](const char* reason) { KeepAside(folder, name, copyName, record.Path, reason, found); };
    FileDescriptor target(RetryOnEintr(
        [&] { return ::open(record.Path.c_str(), O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC); }));
    struct stat ts {};
    if (!target.valid()) {
        if (errno == ENOENT || errno == ENOTDIR)
            keep("the file is gone");
        else if (errno == ELOOP)
            keep("another file has taken its name");
        return;
    }
    if (::fstat(target.get(), &ts) != 0)
        return;
    // Inode numbers are reused: the content decides, not the identity alone.
    if (!S_ISREG(ts.st_mode) || ts.st_dev != record.Device || ts.st_ino != record.Inode)
        return keep("another file has taken its name");
    if (!CopyIsWhole(copy.get(), record))
        return keep("the copy of its old content is damaged");
    switch (Classify(target.get(), ts.st_size, copy.get(), record)) {
    case TFileState::Old:
    case TFileState::New:
        return Drop(folder, name, copyName);
    case TFileState::Changed:
        return keep("the file has changed since");
    case TFileState::Torn:
        // A put-back that fails leaves the journal: the next one finds the
        // file changed and keeps the copy aside.
        if (PutBack(copy.get(), target.get(), record.OldSize)) {
            Drop(folder, name, copyName);
            found.push_back({record.Path, {}, {}});
        }
        return;
    }
}

// Removes the leftovers of a save whose note outlived its process.
void FollowNote(const TPrivateFolder& folder, const std::string& name)
{
    std::string folderName;
    if (!ProcessGone(PidInName(name, NotePrefix)) || !folder.Read(name, folderName))
        return;
    RemoveLeftovers(folderName);
    folder.Remove(name);
}

} // namespace

bool TPageRuns::Add(std::string_view piece, const TTake& take)
{
    if (!carry_.empty()) {
        const std::size_t fill = std::min(SavePage - carry_.size(), piece.size());
        carry_.append(piece.substr(0, fill));
        piece.remove_prefix(fill);
        if (carry_.size() < SavePage)
            return true;
        if (!take(carry_))
            return false;
        carry_.clear();
    }
    const std::size_t whole = piece.size() - piece.size() % SavePage;
    if (whole > 0 && !take(piece.substr(0, whole)))
        return false;
    carry_.assign(piece.substr(whole));
    return true;
}

bool TPageRuns::Finish(const TTake& take)
{
    const bool done = carry_.empty() || take(carry_);
    carry_.clear();
    return done;
}

void TPageHashes::Add(std::string_view piece)
{
    runs_.Add(piece, [this](std::string_view run) {
        for (std::size_t at = 0; at < run.size(); at += SavePage)
            pages_.push_back(PageHash(run.substr(at, SavePage)));
        return true;
    });
}

void TPageHashes::Finish()
{
    runs_.Finish([this](std::string_view run) {
        pages_.push_back(PageHash(run));
        return true;
    });
}

std::uint64_t TPageHashes::Whole() const
{
    return PageHash(std::string_view(reinterpret_cast<const char*>(pages_.data()), pages_.size() * 8));
}

std::string TemporaryPattern(const std::string& folder)
{
    return folder + "/" + OwnPrefix(TemporaryPrefix) + "XXXXXX";
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

TPrivateFolder JournalFolder(bool create)
{
    return TPrivateFolder::ForUser("XDG_CACHE_HOME", ".cache", create);
}

TTemporaryNote::TTemporaryNote(const std::string& folder) : journals_(JournalFolder(true))
{
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(folder, ec).string();
    FileDescriptor note(journals_.Valid() && !ec ? journals_.CreateUnique(OwnPrefix(NotePrefix), name_) : -1);
    // Not synced: a kill leaves the note in the page cache, and after a crash
    // the next save in that folder removes the leftover as before.
    if (note.valid() && !WriteAll(note.get(), absolute)) {
        journals_.Remove(name_);
        name_.clear();
    }
}

TTemporaryNote::~TTemporaryNote()
{
    if (!name_.empty())
        journals_.Remove(name_);
}

bool SaveJournal::Begin(const std::string& target, int fd, const struct stat& st, std::uint64_t newSize,
                        const std::vector<std::uint64_t>& newPages)
{
    folder_ = JournalFolder(true);
    if (!folder_.Valid())
        return false;
    lock_ = FileDescriptor(folder_.CreateUnique(OwnPrefix(JournalPrefix), journal_));
    if (!lock_.valid())
        return false;
    copy_ = journal_ + std::string(CopySuffix);
    std::error_code ec;
    Record record;
    record.Device = st.st_dev;
    record.Inode = st.st_ino;
    record.OldSize = st.st_size;
    record.NewSize = static_cast<long long>(newSize);
    record.Path = std::filesystem::absolute(target, ec).string();
    record.NewPages = newPages;
    bool done = false;
    if (!ec && RetryOnEintr([&] { return ::flock(lock_.get(), LOCK_EX); }) == 0) {
        FileDescriptor copy(folder_.Open(copy_, O_WRONLY | O_CREAT | O_EXCL));
        TPageHashes old;
        std::string block(1 << 20, '\0');
        done = copy.valid();
        for (off_t at = 0; done && at < st.st_size; at += static_cast<off_t>(block.size())) {
            const auto size = static_cast<std::size_t>(std::min<off_t>(block.size(), st.st_size - at));
            done = ReadAt(fd, block.data(), size, at) && WriteAll(copy.get(), block.data(), size);
            old.Add(std::string_view(block.data(), size));
        }
        old.Finish();
        record.OldHash = old.Whole();
        // The copy is on disk before the record that makes it count.
        done = done && ::fsync(copy.get()) == 0 && copy.close() && WriteAll(lock_.get(), record.Text())
               && ::fsync(lock_.get()) == 0;
    }
    if (!done) {
        Commit();
        return false;
    }
    ::fsync(folder_.Descriptor());
    size_ = st.st_size;
    return true;
}

void SaveJournal::Commit()
{
    Drop(folder_, journal_, copy_);
    lock_.close();
}

bool SaveJournal::Restore(int fd)
{
    FileDescriptor copy(folder_.Open(copy_, O_RDONLY));
    if (copy.valid() && PutBack(copy.get(), fd, size_)) {
        Commit();
        return true;
    }
    // Unlocked, the copy is put back by the next recovery.
    lock_.close();
    return false;
}

std::vector<TInterruptedSave> RecoverJournals()
{
    std::vector<TInterruptedSave> found;
    const TPrivateFolder folder = JournalFolder(false);
    if (!folder.Valid())
        return found;
    for (const std::string& name : folder.Names()) {
        if (PidInName(name, JournalPrefix) > 0) {
            RecoverJournal(folder, name, found);
        } else if (PidInName(name, JournalPrefix, CopySuffix) > 0) {
            // A save drops its journal before its copy; one that died in
            // between leaves the copy alone.
            struct stat st {};
            const std::string journal = name.substr(0, name.size() - CopySuffix.size());
            if (::fstatat(folder.Descriptor(), journal.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
                folder.Remove(name);
        } else if (PidInName(name, NotePrefix) > 0) {
            FollowNote(folder, name);
        }
    }
    return found;
}

} // namespace zj
