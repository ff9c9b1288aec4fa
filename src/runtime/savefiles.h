#pragma once

// The working files of a save (POSIX): the temporary file beside the target,
// and the copy of the old content that protects a save made in place. Both are
// named "<prefix><process id>-<random>" so that leftovers of a process that
// died can be told from anything else.

#include "fdio.h"
#include "fileio.h"
#include "privatefolder.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

namespace zj {

// mkstemp's pattern for a temporary file in folder; short whatever the
// target's name, so it fits wherever the target does.
std::string TemporaryPattern(const std::string& folder);

// Removes this user's temporary files in folder whose process has ended.
void RemoveLeftovers(const std::string& folder);

// A note in the journal folder, for as long as it lives, that this process
// makes a temporary file in folder: one that a kill leaves there is removed
// at the next start even when no save is made there again.
class TTemporaryNote {
public:
    explicit TTemporaryNote(const std::string& folder);
    ~TTemporaryNote();
    TTemporaryNote(const TTemporaryNote&) = delete;
    TTemporaryNote& operator=(const TTemporaryNote&) = delete;

private:
    TPrivateFolder journals_;
    std::string name_;
};

// A save in place writes whole pages of this size but for the last, so that
// a kill leaves the file cut at the end of a page, and its journal holds a
// hash of every page it is about to write.
constexpr std::size_t SavePage = 4096;

// Hands on a text that comes in pieces of any size in runs of whole pages,
// the last run excepted.
class TPageRuns {
public:
    using TTake = std::function<bool(std::string_view)>;
    // False as soon as take is.
    bool Add(std::string_view piece, const TTake& take);
    bool Finish(const TTake& take);

private:
    std::string carry_;
};

// The hash of every page of a content, and of the whole.
class TPageHashes {
public:
    void Add(std::string_view piece);
    void Finish();
    const std::vector<std::uint64_t>& Pages() const { return pages_; }
    std::uint64_t Whole() const;

private:
    TPageRuns runs_;
    std::vector<std::uint64_t> pages_;
};

// Keeps the old content of a file that is written in place until the new
// content is on disk: a copy in the user's private cache folder and, beside
// it, a record of the file, the copy's length and hash, and the hashes of
// the pages about to be written. The record stays locked while the save
// runs, so a later process can tell a save that ended half way (killed, or
// unable to put the copy back) and put the old content back when, and only
// when, the file is still as that save left it.
class SaveJournal {
public:
    // Copies the first st.st_size bytes of fd (open for reading, the file
    // target with status st) and records them with what the save will write;
    // false when that cannot be done, and nothing is left behind then.
    bool Begin(const std::string& target, int fd, const struct stat& st, std::uint64_t newSize,
               const std::vector<std::uint64_t>& newPages);
    // The new content is on disk: the copy is dropped.
    void Commit();
    // Puts the old content back into fd; on success the copy is dropped. When
    // it fails, the copy stays where CopyName says for a later recovery.
    bool Restore(int fd);
    std::string CopyName() const { return folder_.PathOf(copy_); }

private:
    TPrivateFolder folder_{std::string(), false};
    std::string journal_, copy_;
    FileDescriptor lock_;
    off_t size_ = 0;
};

// The folder of the journals: the program's folder in the user's cache folder.
TPrivateFolder JournalFolder(bool create);

// RecoverInterruptedSaves (fileio.h), without telling anyone.
std::vector<TInterruptedSave> RecoverJournals();

} // namespace zj
