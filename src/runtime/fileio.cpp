#include "fileio.h"

#include "diskfile.h"

#include "exceptions.h"
#include "sysutils.h"
#include "textconv.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <thread>

#ifndef _WIN32
#include "eintr.h"
#include "fdio.h"
#include "savefiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zj {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void RaiseOpenError(const std::string& fileName)
{
    throw EFOpenError(FormatMessage("Cannot open file %s", fileName));
}

[[noreturn]] void RaiseCreateError(const std::string& fileName)
{
    throw EFCreateError(FormatMessage("Cannot create file %s", fileName));
}

[[noreturn]] void RaiseWriteError()
{
    throw EWriteError("Failed to Save Stream");
}

// The bytes a save writes: the data as they are, or with their line breaks
// converted a piece at a time.
class TSaveText {
public:
    TSaveText(std::span<const std::string_view> data, TLineBreaks breaks, TContentHash* written = nullptr)
        : data_(data), breaks_(breaks), to_(breaks == TLineBreaks::Lf ? TLineBreak::Lf : TLineBreak::CrLf),
          written_(written)
    {
    }

    // A pass over the whole text when the breaks are converted.
    std::size_t Size() const
    {
        std::size_t size = 0;
        TLineBreakConverter measure(to_);
        for (std::string_view piece : data_)
            size += breaks_ == TLineBreaks::Keep ? piece.size() : measure.Measure(piece);
        return size;
    }

    // Hands the bytes to write in order; false as soon as write fails.
    template <class Write>
    bool WriteWith(Write write) const
    {
        // A slice that already holds only the breaks wanted goes out as it
        // is, with no copy; the others go through the converter, as does the
        // slice after one that ends in a CR whose LF may open it.
        constexpr std::size_t SliceSize = 1 << 20;
        TLineBreakConverter converter(to_);
        bool afterCr = false;
        std::string converted;
        for (std::string_view piece : data_)
            for (std::size_t at = 0; at < piece.size(); at += SliceSize) {
                const std::string_view slice = piece.substr(at, SliceSize);
                if (breaks_ == TLineBreaks::Keep || (!afterCr && HoldsOnly(slice))) {
                    if (!write(slice))
                        return false;
                    continue;
                }
                converted.clear();
                converter.Append(slice, converted);
                afterCr = slice.back() == '\r';
                if (!write(std::string_view(converted)))
                    return false;
            }
        return true;
    }

    // WriteWith for the pass that goes to the file: what it writes is also
    // hashed when the caller asked for that, saving a pass of its own.
    template <class Write>
    bool WriteOut(Write write) const
    {
        if (!written_)
            return WriteWith(write);
        return WriteWith([&](std::string_view piece) {
            written_->Add(piece);
            return write(piece);
        });
    }

private:
    bool HoldsOnly(std::string_view slice) const
    {
        return to_ == TLineBreak::Lf ? slice.find('\r') == std::string_view::npos : HoldsOnlyCrLf(slice);
    }

    std::span<const std::string_view> data_;
    TLineBreaks breaks_;
    TLineBreak to_;
    TContentHash* written_;
};

} // namespace

#ifndef _WIN32

namespace {

// The file that a save really writes: a symbolic link is followed to its
// target, so the link itself survives.
std::string ResolveTarget(const std::string& fileName)
{
    fs::path path(fileName);
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(path, ec); ++hops) {
        fs::path next = fs::read_symlink(path, ec);
        if (ec)
            break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path.string();
}

// Gives the new file the target's owner and group, each on its own; false
// when either cannot be kept.
bool KeepOwnerAndGroup(int fd, const struct stat& target)
{
    struct stat own {};
    return ::fstat(fd, &own) == 0 && (own.st_uid == target.st_uid || ::fchown(fd, target.st_uid, -1) == 0)
           && (own.st_gid == target.st_gid || ::fchown(fd, -1, target.st_gid) == 0);
}

// Every byte of the text, or false. The disk is set to work on every few
// megabytes as soon as they are written, so that the flush that follows
// waits for the last of them only, not for the whole file.
bool WriteTo(int fd, const TSaveText& text)
{
#ifdef __linux__
    constexpr off_t FlushStep = 8 << 20;
    off_t written = 0;
    off_t started = 0;
    return text.WriteOut([&](std::string_view piece) {
        if (!WriteAll(fd, piece))
            return false;
        written += static_cast<off_t>(piece.size());
        if (written - started >= FlushStep) {
            // Only a start: the fsync after the writing is what counts.
            ::sync_file_range(fd, started, written - started, SYNC_FILE_RANGE_WRITE);
            started = written;
        }
        return true;
    });
#else
    return text.WriteOut([fd](std::string_view piece) { return WriteAll(fd, piece); });
#endif
}

// Closes the file a save replaced away from the caller: the last close of a
// file that has lost its name frees its blocks, which for a large file takes
// about as long as the flush of the new one.
void CloseInBackground(FileDescriptor fd)
{
    try {
        std::thread([fd = std::move(fd)]() mutable { fd.close(); }).detach();
    } catch (const std::system_error&) {
        // Closed here instead, with the lambda that holds it.
    }
}

// Every byte of the text in whole pages but the last, at the descriptor's
// offset.
bool WriteInPages(int fd, const TSaveText& text)
{
    TPageRuns runs;
    const TPageRuns::TTake write = [fd](std::string_view run) { return WriteAll(fd, run); };
    return text.WriteOut([&](std::string_view piece) { return runs.Add(piece, write); }) && runs.Finish(write);
}

// Writes over the file itself. Its old content stays in a journal until the
// new content is on disk, and the space is secured before the first byte
// changes, so that a full disk or a kill cannot leave it torn.
void WriteInPlace(const std::string& fileName, const std::string& target, const struct stat& st,
                  const TSaveText& text)
{
    FileDescriptor fd(
        RetryOnEintr([&] { return ::open(target.c_str(), O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC); }));
    struct stat now {};
    if (!fd.valid() || ::fstat(fd.get(), &now) != 0 || !S_ISREG(now.st_mode) || now.st_dev != st.st_dev
        || now.st_ino != st.st_ino)
        RaiseCreateError(fileName);
    // What every page will hold, so that a later recovery can tell the file
    // this save left from one written since.
    TPageHashes next;
    text.WriteWith([&next](std::string_view piece) {
        next.Add(piece);
        return true;
    });
    next.Finish();
    // Measured once: each measure is a pass over the text.
    const std::size_t newSize = text.Size();
    SaveJournal journal;
    if (!journal.Begin(target, fd.get(), now, newSize, next.Pages()))
        RaiseWriteError();
    const auto size = static_cast<off_t>(newSize);
    if ((size <= now.st_size || ::posix_fallocate(fd.get(), 0, size) == 0) && WriteInPages(fd.get(), text)
        && ::ftruncate(fd.get(), size) == 0 && ::fsync(fd.get()) == 0) {
        journal.Commit();
        return;
    }
    if (!journal.Restore(fd.get()))
        throw EWriteError("Failed to Save Stream. The old content is kept in " + journal.CopyName());
    RaiseWriteError();
}

} // namespace

namespace {

// Opens a file to read it, only when it is a regular file: 0, or the errno
// value that says why not.
int OpenRegularFile(const std::string& fileName, FileDescriptor& fd, struct stat& st)
{
    RecoverInterruptedSaves();
    // Not blocking, so that a FIFO cannot hold the open.
    fd = FileDescriptor(RetryOnEintr([&] { return ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); }));
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return 0;
}

} // namespace

int ReadRegularFile(const std::string& fileName, std::string& data, std::size_t maxSize)
{
    FileDescriptor fd;
    struct stat st {};
    if (int error = OpenRegularFile(fileName, fd, st))
        return error;
    data.clear();
    if (static_cast<std::uintmax_t>(st.st_size) < maxSize) {
        if (!ReadAll(fd.get(), data, static_cast<std::size_t>(st.st_size)))
            return errno ? errno : EIO;
        data.resize(std::min(data.size(), maxSize));
        return 0;
    }
    data.resize(maxSize);
    std::size_t filled = 0;
    while (filled < maxSize) {
        const ssize_t n = RetryOnEintr([&] { return ::read(fd.get(), data.data() + filled, maxSize - filled); });
        if (n < 0)
            return errno;
        if (n == 0)
            break;
        filled += static_cast<std::size_t>(n);
    }
    data.resize(filled);
    return 0;
}

void ReadFileChunks(const std::string& fileName, std::size_t chunkSize,
                    const std::function<void(std::string_view)>& take)
{
    FileDescriptor fd;
    struct stat st {};
    if (OpenRegularFile(fileName, fd, st) != 0)
        RaiseOpenError(fileName);
    std::string buffer(std::max<std::size_t>(chunkSize, 1), '\0');
    for (;;) {
        std::size_t filled = 0;
        while (filled < buffer.size()) {
            const ssize_t n =
                RetryOnEintr([&] { return ::read(fd.get(), buffer.data() + filled, buffer.size() - filled); });
            if (n < 0)
                RaiseOpenError(fileName);
            if (n == 0)
                break;
            filled += static_cast<std::size_t>(n);
        }
        if (filled > 0)
            take(std::string_view(buffer.data(), filled));
        if (filled < buffer.size())
            return;
    }
}

void WriteFileSafely(const std::string& fileName, std::span<const std::string_view> data, TLineBreaks breaks,
                     TContentHash* written)
{
    const TSaveText text(data, breaks, written);
    RecoverInterruptedSaves();
    const std::string target = ResolveTarget(fileName);
    struct stat st {};
    const bool exists = ::lstat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        RaiseCreateError(fileName);
    // Only a regular file that we may write is replaced: not a FIFO, a device,
    // a link loop, nor a file that is not ours to write although the folder
    // would let us replace it.
    if (exists && (!S_ISREG(st.st_mode) || ::access(target.c_str(), W_OK) != 0))
        RaiseCreateError(fileName);

    fs::path folderPath = fs::path(target).parent_path();
    const std::string folder = folderPath.empty() ? std::string(".") : folderPath.string();
    RemoveLeftovers(folder);
    // A new file would split the file from its other names.
    if (exists && st.st_nlink > 1)
        return WriteInPlace(fileName, target, st, text);
    const TTemporaryNote note(folder);
    std::string temporary = TemporaryPattern(folder);
    int raw = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (raw < 0) {
        if (exists && (errno == EACCES || errno == EPERM))
            return WriteInPlace(fileName, target, st, text);
        RaiseCreateError(fileName);
    }
    FileDescriptor fd(raw);
    auto discard = [&temporary] { ::unlink(temporary.c_str()); };

    mode_t mode;
    if (exists) {
        // A file of someone else's (or of a group we are not in) would become ours.
        if (!KeepOwnerAndGroup(fd.get(), st)) {
            fd.close();
            discard();
            return WriteInPlace(fileName, target, st, text);
        }
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (!WriteTo(fd.get(), text) || ::fchmod(fd.get(), mode) != 0 || ::fsync(fd.get()) != 0 || !fd.close()) {
        discard();
        RaiseWriteError();
    }
    // Held open across the rename, so that freeing a large old file's blocks
    // does not hold the save.
    constexpr off_t LargeFile = 1 << 20;
    FileDescriptor replaced(exists && st.st_size >= LargeFile ? RetryOnEintr([&] {
        return ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    })
                                                              : -1);
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        discard();
        RaiseCreateError(fileName);
    }
    // Make the rename itself durable.
    SyncFolder(folder);
    if (replaced.valid())
        CloseInBackground(std::move(replaced));
}

#else // _WIN32

namespace {

// Opens a file to read it, only when it is a regular file: 0, or the errno
// value that says why not.
int OpenRegularFile(const std::string& fileName, std::ifstream& in)
{
    std::error_code ec;
    fs::path path = fs::u8path(fileName);
    fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status))
        return ENOENT;
    if (!fs::is_regular_file(status))
        return fs::is_directory(status) ? EISDIR : EINVAL;
    in.open(path, std::ios::binary);
    return in ? 0 : EACCES;
}

} // namespace

int ReadRegularFile(const std::string& fileName, std::string& data, std::size_t maxSize)
{
    std::ifstream in;
    if (int error = OpenRegularFile(fileName, in))
        return error;
    data.clear();
    std::string buffer(1 << 16, '\0');
    while (data.size() < maxSize && in) {
        in.read(buffer.data(), static_cast<std::streamsize>(std::min(buffer.size(), maxSize - data.size())));
        data.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    return in.bad() ? EIO : 0;
}

void ReadFileChunks(const std::string& fileName, std::size_t chunkSize,
                    const std::function<void(std::string_view)>& take)
{
    std::ifstream in;
    if (OpenRegularFile(fileName, in) != 0)
        RaiseOpenError(fileName);
    std::string buffer(std::max<std::size_t>(chunkSize, 1), '\0');
    for (;;) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto filled = static_cast<std::size_t>(in.gcount());
        if (in.bad())
            RaiseOpenError(fileName);
        if (filled > 0)
            take(std::string_view(buffer.data(), filled));
        if (filled < buffer.size())
            return;
    }
}

void WriteFileSafely(const std::string& fileName, std::span<const std::string_view> data, TLineBreaks breaks,
                     TContentHash* written)
{
    const TSaveText text(data, breaks, written);
    fs::path target = fs::u8path(fileName);
    std::error_code ec;
    if (fs::is_directory(target, ec))
        RaiseCreateError(fileName);
    fs::path temporary = target;
    temporary += ".zjtmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            RaiseCreateError(fileName);
        text.WriteOut([&out](std::string_view piece) {
            return static_cast<bool>(out.write(piece.data(), static_cast<std::streamsize>(piece.size())));
        });
        out.flush();
        if (!out) {
            out.close();
            fs::remove(temporary, ec);
            RaiseWriteError();
        }
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ec);
        RaiseCreateError(fileName);
    }
}

#endif

namespace {
std::function<void(const TInterruptedSave&)> interruptedSaveNotice;
}

void SetInterruptedSaveNotice(std::function<void(const TInterruptedSave&)> notice)
{
    interruptedSaveNotice = std::move(notice);
}

std::vector<TInterruptedSave> RecoverInterruptedSaves()
{
#ifdef _WIN32
    // Windows saves by rename only: there is no journal to recover.
    std::vector<TInterruptedSave> found;
#else
    std::vector<TInterruptedSave> found = RecoverJournals();
#endif
    if (interruptedSaveNotice)
        for (const TInterruptedSave& save : found)
            interruptedSaveNotice(save);
    return found;
}

void WriteFileSafely(const std::string& fileName, std::string_view data, TLineBreaks breaks)
{
    const std::string_view whole[] = {data};
    WriteFileSafely(fileName, whole, breaks);
}

std::string ReadFileBytes(const std::string& fileName)
{
    std::string data;
    if (ReadRegularFile(fileName, data) != 0)
        RaiseOpenError(fileName);
    return data;
}

} // namespace zj
