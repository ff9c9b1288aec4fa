#include "fileio.h"

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
// made CR LF a piece at a time.
class TSaveText {
public:
    TSaveText(std::string_view data, TLineBreaks breaks)
        : data_(data), size_(breaks == TLineBreaks::CrLf ? CrLfSize(data) : data.size())
    {
    }

    std::size_t Size() const { return size_; }

    // Hands the bytes to write in order; false as soon as write fails.
    template <class Write>
    bool WriteWith(Write write) const
    {
        // Every lone CR or LF adds a byte: the same size means nothing to change.
        if (size_ == data_.size())
            return write(data_);
        constexpr std::size_t PieceSize = 1 << 20;
        TCrLfConverter converter;
        std::string piece;
        for (std::size_t at = 0; at < data_.size(); at += PieceSize) {
            piece.clear();
            converter.Append(data_.substr(at, PieceSize), piece);
            if (!write(std::string_view(piece)))
                return false;
        }
        return true;
    }

private:
    std::string_view data_;
    std::size_t size_;
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

// Every byte of the text, or false.
bool WriteTo(int fd, const TSaveText& text)
{
    return text.WriteWith([fd](std::string_view piece) { return WriteAll(fd, piece); });
}

// Every byte of the text in whole pages but the last, at the descriptor's
// offset.
bool WriteInPages(int fd, const TSaveText& text)
{
    TPageRuns runs;
    const TPageRuns::TTake write = [fd](std::string_view run) { return WriteAll(fd, run); };
    return text.WriteWith([&](std::string_view piece) { return runs.Add(piece, write); }) && runs.Finish(write);
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
    SaveJournal journal;
    if (!journal.Begin(target, fd.get(), now, text.Size(), next.Pages()))
        RaiseWriteError();
    const off_t size = static_cast<off_t>(text.Size());
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

void WriteFileSafely(const std::string& fileName, std::string_view data, TLineBreaks breaks)
{
    const TSaveText text(data, breaks);
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
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        discard();
        RaiseCreateError(fileName);
    }
    // Make the rename itself durable.
    SyncFolder(folder);
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

void WriteFileSafely(const std::string& fileName, std::string_view data, TLineBreaks breaks)
{
    const TSaveText text(data, breaks);
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
        text.WriteWith([&out](std::string_view piece) {
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

std::string ReadFileBytes(const std::string& fileName)
{
    std::string data;
    if (ReadRegularFile(fileName, data) != 0)
        RaiseOpenError(fileName);
    return data;
}

} // namespace zj
