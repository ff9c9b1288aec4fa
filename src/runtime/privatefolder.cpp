#include "privatefolder.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <cwchar>
#include <fstream>
#include <iterator>
#else
#include "eintr.h"
#include "fdio.h"
#include "sysutils.h"

#include <cerrno>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zj {

namespace fs = std::filesystem;

namespace {

constexpr const char* ProgramFolder = "zorvane-java-editor";

#ifdef _WIN32
constexpr std::string_view NameDelimiters = "/\\:";
#else
constexpr std::string_view NameDelimiters = "/";
#endif

// A name of the folder's own, not a path leading out of it.
bool IsPlainName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of(NameDelimiters) == name.npos
           && name.find('\0') == name.npos;
}

} // namespace

TPrivateFolder::TPrivateFolder(TPrivateFolder&& other) noexcept
{
    *this = std::move(other);
}

std::string TPrivateFolder::PathOf(std::string_view name) const
{
#ifdef _WIN32
    return path_ + "\\" + std::string(name);
#else
    return path_ + "/" + std::string(name);
#endif
}

#ifndef _WIN32

namespace {

bool Trusted(const struct stat& st, mode_t type)
{
    return (st.st_mode & S_IFMT) == type && st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Whether the nearest folder that exists on the way to folder is the user's
// own, with the ones missing below it, innermost first. Only there may the
// folder be made: one made in another user's tree would be theirs to move,
// and would keep them from making their own.
bool MissingBelowOwnFolder(const fs::path& folder, std::vector<fs::path>& missing)
{
    fs::path at = folder;
    struct stat st {};
    while (::stat(at.c_str(), &st) != 0) {
        if (errno != ENOENT || at == at.parent_path())
            return false;
        missing.push_back(at);
        at = at.parent_path();
    }
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

void CreateFolders(const fs::path& folder)
{
    std::vector<fs::path> missing;
    if (!MissingBelowOwnFolder(folder, missing))
        return;
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST)
            return;
}

int OpenFolder(const std::string& folder)
{
    return RetryOnEintr([&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
}

} // namespace

TPrivateFolder::TPrivateFolder(const std::string& folder, bool create) : path_(folder)
{
    // A final "/" would have the open follow a link after all.
    while (path_.size() > 1 && path_.back() == '/')
        path_.pop_back();
    int fd = OpenFolder(path_);
    if (fd < 0 && errno == ENOENT && create) {
        CreateFolders(path_);
        fd = OpenFolder(path_);
    }
    if (fd < 0)
        return;
    struct stat st {};
    // Ours, so ours to make private: the names in it are the user's documents'.
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()
        && ((st.st_mode & 077) == 0 || ::fchmod(fd, 0700) == 0)) {
        fd_ = fd;
        return;
    }
    ::close(fd);
}

TPrivateFolder TPrivateFolder::ForUser(const char* variable, const char* underHome, bool create)
{
    TPrivateFolder folder(UserFolder(variable, underHome), create);
    struct stat st {};
    std::vector<fs::path> missing;
    // Not made yet but the user's to make: the same folder a save would take.
    if (folder.Valid()
        || (!create && ::lstat(folder.Path().c_str(), &st) != 0 && errno == ENOENT
            && MissingBelowOwnFolder(folder.Path(), missing)))
        return folder;
    const passwd* account = ::getpwuid(::geteuid());
    if (!account || !account->pw_dir || account->pw_dir[0] != '/')
        return folder;
    const std::string own = (fs::path(account->pw_dir) / underHome / ProgramFolder).string();
    return own == folder.Path() ? std::move(folder) : TPrivateFolder(own, create);
}

TPrivateFolder::~TPrivateFolder()
{
    if (fd_ >= 0)
        ::close(fd_);
}

TPrivateFolder& TPrivateFolder::operator=(TPrivateFolder&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        path_ = std::move(other.path_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool TPrivateFolder::Valid() const
{
    return fd_ >= 0;
}

std::vector<std::string> TPrivateFolder::Names() const
{
    std::vector<std::string> names;
    // A description of its own, so that reading it moves no offset of ours.
    const int fd = fd_ < 0 ? -1 : RetryOnEintr([&] { return ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

int TPrivateFolder::Open(const std::string& name, int flags) const
{
    if (fd_ < 0 || !IsPlainName(name)) {
        errno = EINVAL;
        return -1;
    }
    // Emptied only once it is known to be ours; not blocking, so that a FIFO
    // cannot hold the open before the check.
    const bool truncate = flags & O_TRUNC;
    const int fd = RetryOnEintr([&] {
        return ::openat(fd_, name.c_str(), (flags & ~O_TRUNC) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    });
    if (fd < 0) {
        if (errno == ELOOP)
            errno = EPERM;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !Trusted(st, S_IFREG) || (truncate && ::ftruncate(fd, 0) != 0)) {
        const int error = errno;
        ::close(fd);
        errno = Trusted(st, S_IFREG) ? error : EPERM;
        return -1;
    }
    return fd;
}

int TPrivateFolder::CreateUnique(std::string_view prefix, std::string& name) const
{
    static constexpr std::string_view Letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, Letters.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate(prefix);
        for (int i = 0; i < 6; ++i)
            candidate += Letters[pick(random)];
        const int fd = Open(candidate, O_RDWR | O_CREAT | O_EXCL);
        if (fd >= 0) {
            name = std::move(candidate);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

bool TPrivateFolder::Read(const std::string& name, std::string& data) const
{
    FileDescriptor fd(Open(name, O_RDONLY));
    data.clear();
    return fd.valid() && ReadAll(fd.get(), data);
}

bool TPrivateFolder::Write(const std::string& name, std::string_view data) const
{
    struct stat st {};
    if (!IsPlainName(name)
        || (::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !Trusted(st, S_IFREG)))
        return false;
    std::string temporary;
    FileDescriptor fd(CreateUnique(".new-", temporary));
    if (!fd.valid())
        return false;
    if (WriteAll(fd.get(), data) && ::fsync(fd.get()) == 0 && fd.close()
        && ::renameat(fd_, temporary.c_str(), fd_, name.c_str()) == 0) {
        ::fsync(fd_);
        return true;
    }
    ::unlinkat(fd_, temporary.c_str(), 0);
    return false;
}

bool TPrivateFolder::Remove(const std::string& name) const
{
    // Only this user can change the folder's entries, so the name checked is
    // the name removed.
    struct stat st {};
    return fd_ >= 0 && IsPlainName(name) && ::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0
           && Trusted(st, S_IFREG) && ::unlinkat(fd_, name.c_str(), 0) == 0;
}

#else // _WIN32

namespace {

fs::path PathFromUtf8(const std::string& name)
{
    return fs::path(std::u8string(name.begin(), name.end()));
}

std::string Utf8FromPath(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// A file of the folder itself, not a link to one elsewhere.
bool IsOwnFile(const fs::path& path)
{
    std::error_code ec;
    return fs::symlink_status(path, ec).type() == fs::file_type::regular;
}

} // namespace

TPrivateFolder::TPrivateFolder(const std::string& folder, bool create) : path_(folder)
{
    if (folder.empty())
        return;
    std::error_code ec;
    const fs::path path = PathFromUtf8(folder);
    if (create && !fs::exists(fs::symlink_status(path, ec)))
        fs::create_directories(path, ec);
    valid_ = fs::symlink_status(path, ec).type() == fs::file_type::directory;
}

TPrivateFolder TPrivateFolder::ForUser(const char*, const char* underHome, bool create)
{
    const wchar_t* base = ::_wgetenv(L"LOCALAPPDATA");
    if (!base || !*base)
        return TPrivateFolder(std::string(), false);
    std::string leaf = fs::path(underHome).filename().string();
    if (leaf.starts_with('.'))
        leaf.erase(0, 1);
    return TPrivateFolder(Utf8FromPath(fs::path(base) / ProgramFolder / leaf), create);
}

TPrivateFolder::~TPrivateFolder() = default;

TPrivateFolder& TPrivateFolder::operator=(TPrivateFolder&& other) noexcept
{
    if (this != &other) {
        path_ = std::move(other.path_);
        valid_ = other.valid_;
        other.valid_ = false;
    }
    return *this;
}

bool TPrivateFolder::Valid() const
{
    return valid_;
}

std::vector<std::string> TPrivateFolder::Names() const
{
    std::vector<std::string> names;
    std::error_code ec;
    if (valid_)
        for (fs::directory_iterator it(PathFromUtf8(path_), ec), end; !ec && it != end; it.increment(ec))
            names.push_back(Utf8FromPath(it->path().filename()));
    return names;
}

bool TPrivateFolder::Read(const std::string& name, std::string& data) const
{
    data.clear();
    const fs::path path = PathFromUtf8(PathOf(name));
    if (!valid_ || !IsPlainName(name) || !IsOwnFile(path))
        return false;
    std::ifstream in(path, std::ios::binary);
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.good() || in.eof();
}

bool TPrivateFolder::Write(const std::string& name, std::string_view data) const
{
    const fs::path path = PathFromUtf8(PathOf(name));
    std::error_code ec;
    if (!valid_ || !IsPlainName(name) || (fs::exists(fs::symlink_status(path, ec)) && !IsOwnFile(path)))
        return false;
    fs::path temporary = path;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        out.flush();
        if (!out) {
            out.close();
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, path, ec);
    if (!ec)
        return true;
    fs::remove(temporary, ec);
    return false;
}

bool TPrivateFolder::Remove(const std::string& name) const
{
    const fs::path path = PathFromUtf8(PathOf(name));
    std::error_code ec;
    return valid_ && IsPlainName(name) && IsOwnFile(path) && fs::remove(path, ec);
}

#endif

} // namespace zj
