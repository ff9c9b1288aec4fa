#pragma once

// The working files of a save (POSIX): the temporary file beside the target,
// and the copy of the old content that protects a save made in place. Both are
// named "<prefix><process id>-<random>" so that leftovers of a process that
// died can be told from anything else.

#include "fdio.h"

#include <string>
#include <vector>

#include <sys/stat.h>

namespace zj {

// mkstemp's pattern for a temporary file in folder; short whatever the
// target's name, so it fits wherever the target does.
std::string TemporaryPattern(const std::string& folder);

// Removes this user's temporary files in folder whose process has ended.
void RemoveLeftovers(const std::string& folder);

// Keeps the old content of a file that is written in place until the new
// content is on disk: a plain copy in the cache folder and, beside it, a small
// journal naming the file. The journal stays locked while the save runs, so a
// later process can tell a save that ended half way (killed, or unable to put
// the copy back) and put the old content back.
class SaveJournal {
public:
    // Copies the first st.st_size bytes of fd (open for reading, the file
    // target with status st) and records them; false when that cannot be
    // done, and nothing is left behind then.
    bool Begin(const std::string& target, int fd, const struct stat& st);
    // The new content is on disk: the copy is dropped.
    void Commit();
    // Puts the old content back into fd; on success the copy is dropped. When
    // it fails, the copy stays where CopyName says for a later recovery.
    bool Restore(int fd);
    const std::string& CopyName() const { return copy_; }

private:
    void Discard();

    std::string folder_, journal_, copy_;
    FileDescriptor lock_;
    off_t size_ = 0;
};

// The folder of the copies: the program's folder in the user's cache folder.
std::string JournalFolder();

// Puts back the old content of every save in place that ended half way and
// drops their copies; returns the files put back. A copy that cannot be put
// back yet stays for the next time. Raises nothing for file-system errors.
std::vector<std::string> RecoverJournals();

} // namespace zj
