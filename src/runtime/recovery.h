#pragma once

// Recovery copies of unsaved documents: written in the background while the
// user edits, offered at the next start when the editor that wrote them ended
// without removing them (a crash, a kill, a power cut).
//
// The folder holds, for each running editor, a lock file "lock-<session>"
// that the editor keeps locked while it runs, and its copies
// "copy-<session>-<number>". A session whose lock file nobody holds has
// ended; its copies are there to be recovered.

#include "diskfile.h"
#include "privatefolder.h"
#include "textconv.h"

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zj {

// One document as its copy records it.
struct TRecoveryCopy {
    // The document's file; empty while it is untitled.
    std::string FileName;
    // Its caption (UTF-8), which an untitled document gets back.
    std::string Caption;
    bool Untitled = true;
    int DocType = 0;
    TLineBreak LineBreak = TLineBreak::CrLf;
    // The file as the document last read or wrote it, to tell a change since.
    TFileStamp Stamp;
    std::uint64_t Hash = 0;
    // The editor process that wrote the copy.
    long long Pid = 0;
    std::string Text;
};

// The start of a copy's file, for a text of textLength bytes: the text
// follows it, then FinishRecoveryCopy adds the check. copy.Text is not used.
std::string RecoveryCopyHeader(const TRecoveryCopy& copy, std::size_t textLength);
// Adds the check of everything before it.
void FinishRecoveryCopy(std::string& data);
// Reads a copy's file; false for anything damaged, cut short or foreign.
bool ParseRecoveryCopy(std::string_view data, TRecoveryCopy& copy);

// The folder of the recovery copies: "recovery" in the program's folder of
// the user's state folder ($XDG_STATE_HOME, ~/.local/state; on Windows the
// local application data), private to the user.
TPrivateFolder RecoveryFolder();

// A file locked for as long as this object holds it, against every other
// process (and every other holder in this one).
class TFileLock {
public:
    TFileLock() = default;
    ~TFileLock();
    TFileLock(TFileLock&& other) noexcept;
    TFileLock& operator=(TFileLock&& other) noexcept;
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    // A new file named prefix and six random letters or digits, locked; its
    // name goes to name.
    bool CreateUnique(const TPrivateFolder& folder, std::string_view prefix, std::string& name);
    // Locks name, made when missing; false when another holder has it.
    bool TryLock(const TPrivateFolder& folder, const std::string& name);
    bool Locked() const;
    void Release();

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// This editor's copies: each document numbered, written in the background in
// the order given, each replacing the one before whole.
class TRecoveryStore {
public:
    explicit TRecoveryStore(TPrivateFolder folder);
    // A normal end: the copies still there go, and the lock with them.
    ~TRecoveryStore();
    TRecoveryStore(const TRecoveryStore&) = delete;
    TRecoveryStore& operator=(const TRecoveryStore&) = delete;

    // False when the folder cannot be used: nothing is written.
    bool Valid() const { return lock_.Locked(); }
    const TPrivateFolder& Folder() const { return folder_; }
    const std::string& Session() const { return session_; }
    std::string CopyName(int number) const;
    int NewNumber() { return ++numbers_; }

    // Writes data (a header and the text, with room for the check) as copy
    // number.
    void Write(int number, std::string data);
    void Remove(int number);
    // Until everything given so far is done.
    void Wait();
    // Told on the writing thread after every write whether it succeeded.
    std::function<void(bool written)> Written;

private:
    void Run();
    void Queue(std::function<void()> task);

    TPrivateFolder folder_;
    TFileLock lock_;
    std::string session_;
    int numbers_ = 0;

    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::vector<std::function<void()>> tasks_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

// The copies that editors no longer running left, claimed while this object
// lives: no other editor starting meanwhile offers or removes them. What
// cannot be read is left alone.
class TLeftCopies {
public:
    TLeftCopies(const TPrivateFolder& folder, const std::string& ownSession);

    std::vector<TRecoveryCopy> Copies;

    // Makes copy index the store's copy number, without writing it again.
    bool Adopt(std::size_t index, const TRecoveryStore& store, int number);
    // Removes every copy not adopted, and the locks of sessions left empty.
    void Discard();

private:
    const TPrivateFolder& folder_;
    std::vector<std::string> names_;
    // The sessions claimed, their locks and whether anything unreadable of
    // theirs stays.
    struct TSession {
        std::string Name;
        TFileLock Lock;
        bool Keeps = false;
    };
    std::vector<TSession> sessions_;
};

} // namespace zj
