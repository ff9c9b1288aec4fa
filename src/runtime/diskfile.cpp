#include "diskfile.h"

#include "fileio.h"
#include "textconv.h"

#include <chrono>
#include <cstring>
#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#include <time.h>
#endif

namespace zj {

namespace {

// Coarser than any file system's clock that matters here (FAT keeps two
// seconds; most others the kernel's tick).
constexpr std::int64_t RecentNs = 2'000'000'000;

std::uint64_t Rotate(std::uint64_t x, int bits)
{
    return (x << bits) | (x >> (64 - bits));
}

} // namespace

#ifndef _WIN32

TFileStamp StampFile(const std::string& fileName)
{
    TFileStamp stamp;
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return stamp;
    stamp.Exists = true;
    stamp.Device = static_cast<std::uint64_t>(st.st_dev);
    stamp.Inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.Size = static_cast<std::uint64_t>(st.st_size);
    stamp.Modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t nowNs = static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    stamp.Recent = nowNs - stamp.Modified < RecentNs;
    return stamp;
}

#else

TFileStamp StampFile(const std::string& fileName)
{
    namespace fs = std::filesystem;
    TFileStamp stamp;
    std::error_code ec;
    const fs::path path = fs::u8path(fileName);
    if (!fs::is_regular_file(path, ec))
        return stamp;
    const auto size = fs::file_size(path, ec);
    if (ec)
        return stamp;
    const auto modified = fs::last_write_time(path, ec);
    if (ec)
        return stamp;
    stamp.Exists = true;
    stamp.Size = size;
    stamp.Modified = std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count();
    const auto age = fs::file_time_type::clock::now() - modified;
    stamp.Recent = std::chrono::duration_cast<std::chrono::nanoseconds>(age).count() < RecentNs;
    return stamp;
}

#endif

void TContentHash::Mix(std::uint64_t word)
{
    state_ = Rotate(state_ ^ (word * 0x87c37b91114253d5ull), 31) * 0x4cf5ad432745937full;
}

void TContentHash::Add(std::string_view piece)
{
    length_ += piece.size();
    const char* p = piece.data();
    const char* const end = p + piece.size();
    while (pendingLength_ > 0 && pendingLength_ < 8 && p < end)
        pending_[pendingLength_++] = static_cast<unsigned char>(*p++);
    if (pendingLength_ == 8) {
        std::uint64_t word;
        std::memcpy(&word, pending_, 8);
        Mix(word);
        pendingLength_ = 0;
    }
    for (; end - p >= 8; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        Mix(word);
    }
    while (p < end)
        pending_[pendingLength_++] = static_cast<unsigned char>(*p++);
}

std::uint64_t TContentHash::Value() const
{
    std::uint64_t word = 0;
    std::memcpy(&word, pending_, pendingLength_);
    std::uint64_t h = Rotate(state_ ^ (word * 0x87c37b91114253d5ull), 31) * 0x4cf5ad432745937full;
    h ^= length_;
    // The final mix of MurmurHash3: every input bit reaches every output bit.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return h;
}

std::uint64_t HashOf(std::string_view bytes)
{
    TContentHash hash;
    hash.Add(bytes);
    return hash.Value();
}

void TDiskFile::Take(const std::string& fileName, const TFileStamp& stamp, std::uint64_t hash)
{
    fileName_ = fileName;
    taken_ = {stamp, hash};
    seen_ = taken_;
}

void TDiskFile::Forget()
{
    fileName_.clear();
    taken_.Stamp = seen_.Stamp = {};
}

void TDiskFile::Recover(const std::string& fileName, const TFileStamp& stamp, std::uint64_t hash)
{
    Take(fileName, stamp, hash);
    const TFileStamp now = StampFile(fileName);
    if (!now.Exists || Compare(seen_, now) != TCompare::Different)
        return;
    seen_.Stamp = now;
    HashFile(seen_.Hash);
}

bool TDiskFile::HashFile(std::uint64_t& value) const
{
    // A piece at a time: the file is not held beside the document's text.
    TContentHash hash;
    try {
        ReadFileChunks(fileName_, 1 << 20, [&hash](std::string_view piece) { hash.Add(piece); });
    } catch (const std::exception&) {
        return false;
    }
    value = hash.Value();
    return true;
}

TDiskFile::TCompare TDiskFile::Compare(TState& state, const TFileStamp& now)
{
    if (now.Matches(state.Stamp) && !state.Stamp.Recent)
        return TCompare::Same;
    std::uint64_t hash = 0;
    if (!HashFile(hash))
        return TCompare::Unreadable;
    if (hash != state.Hash)
        return TCompare::Different;
    state.Stamp = now;
    return TCompare::Same;
}

TDiskFile::TChange TDiskFile::Look(std::string& bytes)
{
    if (fileName_.empty())
        return TChange::None;
    const TFileStamp now = StampFile(fileName_);
    if (!now.Exists) {
        if (!seen_.Stamp.Exists)
            return TChange::None;
        seen_.Stamp = now;
        return TChange::Gone;
    }
    // Nothing to show for a file that cannot be read; the next look tries again.
    if (Compare(seen_, now) != TCompare::Different || ReadRegularFile(fileName_, bytes) != 0)
        return TChange::None;
    seen_ = {now, HashOf(bytes)};
    return TChange::Changed;
}

bool TDiskFile::ChangedSinceTaken()
{
    if (fileName_.empty())
        return false;
    const TFileStamp now = StampFile(fileName_);
    // What cannot be read cannot be shown to be the same.
    return now.Exists && Compare(taken_, now) != TCompare::Same;
}

} // namespace zj
