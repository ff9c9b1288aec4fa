#include "fdio.h"

#include "eintr.h"

#include <algorithm>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace zj {

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool FileDescriptor::close()
{
    int fd = fd_;
    fd_ = -1;
    return fd >= 0 && ::close(fd) == 0;
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        ssize_t n = RetryOnEintr([&] { return ::write(fd, data, size); });
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, std::string& data, std::size_t sizeHint)
{
    data.reserve(data.size() + sizeHint);
    char buffer[1 << 16];
    for (;;) {
        const std::size_t old = data.size();
        const std::size_t room = data.capacity() - old;
        ssize_t n;
        if (room >= sizeof buffer) {
            // Straight into the string while the expected size leaves room.
            data.resize(data.capacity());
            n = RetryOnEintr([&] { return ::read(fd, data.data() + old, room); });
            data.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
        } else {
            n = RetryOnEintr([&] { return ::read(fd, buffer, sizeof buffer); });
            if (n > 0)
                data.append(buffer, static_cast<std::size_t>(n));
        }
        if (n <= 0)
            return n == 0;
    }
}

bool CopyContent(int from, int to, off_t size)
{
    constexpr std::size_t Step = 1 << 20;
    auto buffer = std::make_unique<char[]>(Step);
    for (off_t at = 0; at < size;) {
        const std::size_t want = static_cast<std::size_t>(std::min<off_t>(size - at, Step));
        ssize_t n = RetryOnEintr([&] { return ::pread(from, buffer.get(), want, at); });
        if (n <= 0)
            return false;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = RetryOnEintr([&] { return ::pwrite(to, buffer.get() + done, n - done, at + done); });
            if (w <= 0)
                return false;
            done += w;
        }
        at += n;
    }
    return true;
}

void SyncFolder(const std::string& folder)
{
    int fd = RetryOnEintr([&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace zj
