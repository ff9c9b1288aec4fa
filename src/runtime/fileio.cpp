#include "fileio.h"

#include "exceptions.h"
#include "sysutils.h"

#include <cerrno>
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

// Writes over the file itself. Its old content stays in a journal until the
// new content is on disk, and the space is secured before the first byte
// changes, so that a full disk or a kill cannot leave it torn.
void WriteInPlace(const std::string& fileName, const std::string& target, const struct stat& st,
                  std::string_view data)
{
    FileDescriptor fd(
        RetryOnEintr([&] { return ::open(target.c_str(), O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC); }));
    struct stat now {};
    if (!fd.valid() || ::fstat(fd.get(), &now) != 0 || !S_ISREG(now.st_mode) || now.st_dev != st.st_dev
        || now.st_ino != st.st_ino)
        RaiseCreateError(fileName);
    SaveJournal journal;
    if (!journal.Begin(target, fd.get(), now))
        RaiseWriteError();
    const off_t size = static_cast<off_t>(data.size());
    if ((size <= now.st_size || ::posix_fallocate(fd.get(), 0, size) == 0) && WriteAll(fd.get(), data)
        && ::ftruncate(fd.get(), size) == 0 && ::fsync(fd.get()) == 0) {
        journal.Commit();
        return;
    }
    if (!journal.Restore(fd.get()))
        throw EWriteError("Failed to Save Stream. The old content is kept in " + journal.CopyName());
    RaiseWriteError();
}

} // namespace

int ReadRegularFile(const std::string& fileName, std::string& data)
{
    RecoverInterruptedSaves();
    // Not blocking, so that a FIFO cannot hold the open.
    FileDescriptor fd(RetryOnEintr([&] { return ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); }));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    data.clear();
    if (!ReadAll(fd.get(), data, static_cast<std::size_t>(st.st_size)))
        return errno ? errno : EIO;
    return 0;
}

void WriteFileSafely(const std::string& fileName, std::string_view data)
{
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
        return WriteInPlace(fileName, target, st, data);
    std::string temporary = TemporaryPattern(folder);
    int raw = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (raw < 0) {
        if (exists && (errno == EACCES || errno == EPERM))
            return WriteInPlace(fileName, target, st, data);
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
            return WriteInPlace(fileName, target, st, data);
        }
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (!WriteAll(fd.get(), data) || ::fchmod(fd.get(), mode) != 0 || ::fsync(fd.get()) != 0 || !fd.close()) {
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

int ReadRegularFile(const std::string& fileName, std::string& data)
{
    std::error_code ec;
    fs::path path = fs::u8path(fileName);
    fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status))
        return ENOENT;
    if (!fs::is_regular_file(status))
        return fs::is_directory(status) ? EISDIR : EINVAL;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return EACCES;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.bad() ? EIO : 0;
}

std::vector<std::string> RecoverInterruptedSaves()
{
    return {};
}

void WriteFileSafely(const std::string& fileName, std::string_view data)
{
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
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
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

std::string ReadFileBytes(const std::string& fileName)
{
    std::string data;
    if (ReadRegularFile(fileName, data) != 0)
        RaiseOpenError(fileName);
    return data;
}

} // namespace zj
