#include "fileio.h"

#include "exceptions.h"
#include "sysutils.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifndef _WIN32
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

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool close()
    {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view data)
{
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

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

void WriteInPlace(const std::string& fileName, const std::string& target, std::string_view data)
{
    int raw;
    do
        raw = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    while (raw < 0 && errno == EINTR);
    if (raw < 0)
        RaiseCreateError(fileName);
    FileDescriptor fd(raw);
    if (!WriteAll(fd.get(), data) || ::fsync(fd.get()) != 0 || !fd.close())
        RaiseWriteError();
}

} // namespace

std::string ReadFileBytes(const std::string& fileName)
{
    int raw;
    do
        raw = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    while (raw < 0 && errno == EINTR);
    if (raw < 0)
        RaiseOpenError(fileName);
    FileDescriptor fd(raw);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
        RaiseOpenError(fileName);

    std::string data;
    if (S_ISREG(st.st_mode) && st.st_size > 0)
        data.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[1 << 16];
    for (;;) {
        // Read straight into the string when its size is known.
        std::size_t room = data.capacity() - data.size();
        if (room > sizeof buffer) {
            std::size_t old = data.size();
            data.resize(data.capacity());
            ssize_t n = ::read(fd.get(), data.data() + old, room);
            if (n < 0 && errno == EINTR) {
                data.resize(old);
                continue;
            }
            data.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
            if (n < 0)
                RaiseOpenError(fileName);
            if (n == 0)
                break;
            continue;
        }
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            RaiseOpenError(fileName);
        }
        if (n == 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

void WriteFileSafely(const std::string& fileName, std::string_view data)
{
    const std::string target = ResolveTarget(fileName);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    // A file we may not write stays as it is, even though the folder would let
    // us replace it.
    if (exists && (S_ISDIR(st.st_mode) || ::access(target.c_str(), W_OK) != 0))
        RaiseCreateError(fileName);

    fs::path targetPath(target);
    fs::path folder = targetPath.parent_path();
    std::string pattern = (folder.empty() ? fs::path(".") : folder).string() + "/."
                          + targetPath.filename().string() + ".XXXXXX";
    int raw = ::mkstemp(pattern.data());
    if (raw < 0) {
        int error = errno;
        if (exists && (error == EACCES || error == EPERM)) {
            WriteInPlace(fileName, target, data);
            return;
        }
        RaiseCreateError(fileName);
    }
    FileDescriptor fd(raw);
    const std::string temporary = pattern;
    auto discard = [&temporary] { ::unlink(temporary.c_str()); };

    mode_t mode;
    if (exists) {
        mode = st.st_mode & 07777;
        // Keep the owner where we may (saving as root must not steal the file).
        [[maybe_unused]] int ignored = ::fchown(fd.get(), st.st_uid, st.st_gid);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (!WriteAll(fd.get(), data) || ::fchmod(fd.get(), mode) != 0 || ::fsync(fd.get()) != 0
        || !fd.close()) {
        discard();
        RaiseWriteError();
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        discard();
        RaiseCreateError(fileName);
    }
    // Make the rename itself durable.
    int dir = ::open((folder.empty() ? fs::path(".") : folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

#else // _WIN32

std::string ReadFileBytes(const std::string& fileName)
{
    std::error_code ec;
    fs::path path = fs::u8path(fileName);
    if (fs::is_directory(path, ec))
        RaiseOpenError(fileName);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        RaiseOpenError(fileName);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        RaiseOpenError(fileName);
    return data;
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

} // namespace zj
