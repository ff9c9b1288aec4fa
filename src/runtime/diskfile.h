#pragma once

// Telling when another program has changed a document's file: a look at the
// file's entry says so at once in most cases; where it cannot (a file written
// within the clock's grain, or touched without a change), the content decides.

#include "fileio.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zj {

// What the file's entry says of its content, following symbolic links. Only
// a regular file exists here: a folder or a device in its place holds no
// document.
struct TFileStamp {
    bool Exists = false;
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::uint64_t Size = 0;
    // Nanoseconds since the epoch.
    std::int64_t Modified = 0;
    // Written so shortly before the look that a later write could leave the
    // same time: an equal stamp then proves nothing.
    bool Recent = false;

    // Equal entries; Recent is not compared.
    bool Matches(const TFileStamp& other) const
    {
        return Exists == other.Exists && Device == other.Device && Inode == other.Inode && Size == other.Size
               && Modified == other.Modified;
    }
};

TFileStamp StampFile(const std::string& fileName);

// A 64-bit hash of bytes that come in pieces, the same however they are cut.
// Not for defence against anyone: it tells contents apart.
class TContentHash {
public:
    void Add(std::string_view piece);
    std::uint64_t Value() const;

private:
    void Mix(std::uint64_t word);

    std::uint64_t state_ = 0x9e3779b97f4a7c15ull;
    std::uint64_t length_ = 0;
    unsigned char pending_[8] = {};
    std::size_t pendingLength_ = 0;
};

std::uint64_t HashOf(std::string_view bytes);

// What a document knows of its file: its content as the document last read or
// wrote it (taken), and as the user was last told of it (seen).
class TDiskFile {
public:
    enum class TChange { None, Changed, Gone };

    // The document now holds the content of fileName that has hash; stamp is
    // the file's, looked at before it was read or after it was written.
    void Take(const std::string& fileName, const TFileStamp& stamp, std::uint64_t hash);
    // A document recovered after a crash, which held the content of fileName
    // that had stamp and hash then: a save asks when the file has changed
    // since, while the file as it is now counts as seen.
    void Recover(const std::string& fileName, const TFileStamp& stamp, std::uint64_t hash);
    // The document has no file on disk to follow until the next Take; the
    // hash of what it took stays.
    void Forget();
    const std::string& FileName() const { return fileName_; }
    std::uint64_t TakenHash() const { return taken_.Hash; }
    const TFileStamp& TakenStamp() const { return taken_.Stamp; }

    // The file against what was last seen of it, then taken as seen: Changed
    // with its new content in bytes, or Gone (once, until it is back).
    TChange Look(std::string& bytes);
    // The document now holds the content that Look last reported Changed.
    void TakeSeen() { taken_ = seen_; }
    // Whether the file holds other content than the one taken: a save would
    // overwrite another program's work. A file that is gone holds none.
    bool ChangedSinceTaken();

private:
    struct TState {
        TFileStamp Stamp;
        std::uint64_t Hash = 0;
    };
    enum class TCompare { Same, Different, Unreadable };
    // The file, with stamp now, against state. Reads it when the stamps
    // cannot tell, and brings state's stamp up to date when the content is
    // the same.
    TCompare Compare(TState& state, const TFileStamp& now);
    // The hash of the file's content, read a piece at a time; false when it
    // cannot be read.
    bool HashFile(std::uint64_t& hash) const;

    std::string fileName_;
    TState taken_;
    TState seen_;
};

} // namespace zj
