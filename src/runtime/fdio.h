#pragma once

// Small POSIX file-descriptor helpers shared by the file and process code.

#include <cstddef>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace zj {

// Owns a descriptor and closes it once.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // False when close reports an error (the descriptor is released anyway).
    bool close();

private:
    int fd_;
};

// Every byte written, or false; a write that takes nothing counts as failed.
bool WriteAll(int fd, const char* data, std::size_t size);
inline bool WriteAll(int fd, std::string_view data)
{
    return WriteAll(fd, data.data(), data.size());
}

// Appends everything up to the end of the file to data; false on a read error.
// sizeHint, when known, lets the bytes go straight into data.
bool ReadAll(int fd, std::string& data, std::size_t sizeHint = 0);

// The first size bytes of from written over the start of to; false when
// either fails or from is shorter.
bool CopyContent(int from, int to, off_t size);

// Makes a folder's entries (a created, renamed or removed name) durable.
void SyncFolder(const std::string& folder);

} // namespace zj
