#include "recovery.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <random>
#include <sstream>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "eintr.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace zj {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view Magic = "ZJRECOVERY1";
constexpr std::string_view LockPrefix = "lock-";
constexpr std::string_view CopyPrefix = "copy-";
// What a write that was cut short leaves in the folder (TPrivateFolder's).
constexpr std::string_view TemporaryPrefix = ".new-";
// Older than any write in progress can be.
constexpr auto TemporaryAge = std::chrono::hours(1);
// "\n", sixteen hex digits, "\n".
constexpr std::size_t CheckSize = 18;

long long OwnPid()
{
#ifdef _WIN32
    return static_cast<long long>(::GetCurrentProcessId());
#else
    return static_cast<long long>(::getpid());
#endif
}

std::string Hex(std::uint64_t value)
{
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = "0123456789abcdef"[value & 15];
    return text;
}

// The fields of a header line, each a whole number and nothing else.
class TFields {
public:
    explicit TFields(std::string_view line) : line_(line) {}

    template <class T>
    bool Next(T& value)
    {
        const std::size_t end = std::min(line_.find(' ', at_), line_.size());
        const char* first = line_.data() + at_;
        const char* last = line_.data() + end;
        const auto [ptr, ec] = std::from_chars(first, last, value);
        at_ = end + 1;
        return first != last && ec == std::errc() && ptr == last;
    }
    bool Done() const { return at_ == line_.size() + 1; }

private:
    std::string_view line_;
    std::size_t at_ = 0;
};

// The session of a copy's name "copy-<session>-<number>", or empty.
std::string SessionOfCopy(std::string_view name)
{
    if (!name.starts_with(CopyPrefix))
        return {};
    const std::size_t dash = name.rfind('-');
    if (dash <= CopyPrefix.size() || dash + 1 == name.size())
        return {};
    for (char c : name.substr(dash + 1))
        if (c < '0' || c > '9')
            return {};
    return std::string(name.substr(CopyPrefix.size(), dash - CopyPrefix.size()));
}

bool OldTemporary(const TPrivateFolder& folder, const std::string& name)
{
    std::error_code ec;
    const fs::path path = fs::u8path(folder.PathOf(name));
    if (!name.starts_with(TemporaryPrefix) || fs::symlink_status(path, ec).type() != fs::file_type::regular)
        return false;
    const auto written = fs::last_write_time(path, ec);
    return !ec && fs::file_time_type::clock::now() - written > TemporaryAge;
}

} // namespace

std::string RecoveryCopyHeader(const TRecoveryCopy& copy, std::size_t textLength)
{
    std::ostringstream out;
    out << Magic << ' ' << copy.Pid << ' ' << (copy.Untitled ? 1 : 0) << ' ' << copy.DocType << ' '
        << (copy.LineBreak == TLineBreak::Lf ? 1 : 0) << ' ' << (copy.Stamp.Exists ? 1 : 0) << ' '
        << copy.Stamp.Device << ' ' << copy.Stamp.Inode << ' ' << copy.Stamp.Size << ' ' << copy.Stamp.Modified
        << ' ' << copy.Hash << ' ' << copy.FileName.size() << ' ' << copy.Caption.size() << ' ' << textLength
        << '\n'
        << copy.FileName << copy.Caption;
    return out.str();
}

void FinishRecoveryCopy(std::string& data)
{
    const std::uint64_t hash = HashOf(data);
    data.append("\n").append(Hex(hash)).append("\n");
}

bool ParseRecoveryCopy(std::string_view data, TRecoveryCopy& copy)
{
    const std::size_t newline = data.find('\n');
    if (newline == std::string_view::npos || newline > 400 || !data.starts_with(Magic)
        || data.size() <= Magic.size() || data[Magic.size()] != ' ')
        return false;
    TFields fields(data.substr(Magic.size() + 1, newline - Magic.size() - 1));
    int untitled = 0, lineBreak = 0, exists = 0;
    std::size_t nameLength = 0, captionLength = 0, textLength = 0;
    if (!fields.Next(copy.Pid) || !fields.Next(untitled) || !fields.Next(copy.DocType) || !fields.Next(lineBreak)
        || !fields.Next(exists) || !fields.Next(copy.Stamp.Device) || !fields.Next(copy.Stamp.Inode)
        || !fields.Next(copy.Stamp.Size) || !fields.Next(copy.Stamp.Modified) || !fields.Next(copy.Hash)
        || !fields.Next(nameLength) || !fields.Next(captionLength) || !fields.Next(textLength) || !fields.Done()
        || untitled > 1 || untitled < 0 || lineBreak > 1 || lineBreak < 0 || exists > 1 || exists < 0
        || copy.DocType < 0 || copy.DocType > 3)
        return false;
    std::string_view rest = data.substr(newline + 1);
    // Each length on its own, so that no sum can wrap round.
    if (nameLength > rest.size() || captionLength > rest.size() - nameLength
        || textLength > rest.size() - nameLength - captionLength
        || rest.size() - nameLength - captionLength - textLength != CheckSize)
        return false;
    copy.FileName = std::string(rest.substr(0, nameLength));
    copy.Caption = std::string(rest.substr(nameLength, captionLength));
    const std::string_view text = rest.substr(nameLength + captionLength, textLength);
    const std::string_view check = rest.substr(nameLength + captionLength + textLength);
    if (check.front() != '\n' || check.back() != '\n'
        || check.substr(1, 16) != Hex(HashOf(data.substr(0, data.size() - CheckSize)))
        || (untitled == 0 && copy.FileName.empty()) || copy.FileName.find('\0') != std::string::npos)
        return false;
    copy.Untitled = untitled == 1;
    copy.LineBreak = lineBreak == 1 ? TLineBreak::Lf : TLineBreak::CrLf;
    copy.Stamp.Exists = exists == 1;
    copy.Text = std::string(text);
    return true;
}

TPrivateFolder RecoveryFolder()
{
    const TPrivateFolder state = TPrivateFolder::ForUser("XDG_STATE_HOME", ".local/state");
    if (!state.Valid())
        return TPrivateFolder(std::string(), false);
    return TPrivateFolder(state.PathOf("recovery"));
}

TFileLock::~TFileLock()
{
    Release();
}

TFileLock::TFileLock(TFileLock&& other) noexcept
{
    *this = std::move(other);
}

#ifdef _WIN32

namespace {

void* OpenLocked(const TPrivateFolder& folder, const std::string& name, DWORD disposition)
{
    // Shared for deletion only: while the handle is open, nobody else opens
    // the file, and its holder can still remove it.
    HANDLE handle = ::CreateFileW(fs::u8path(folder.PathOf(name)).wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_DELETE, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

} // namespace

TFileLock& TFileLock::operator=(TFileLock&& other) noexcept
{
    if (this != &other) {
        Release();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

bool TFileLock::CreateUnique(const TPrivateFolder& folder, std::string_view prefix, std::string& name)
{
    static constexpr std::string_view Letters = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, Letters.size() - 1);
    Release();
    for (int attempt = 0; attempt < 100 && folder.Valid(); ++attempt) {
        std::string candidate(prefix);
        for (int i = 0; i < 6; ++i)
            candidate += Letters[pick(random)];
        if ((handle_ = OpenLocked(folder, candidate, CREATE_NEW))) {
            name = std::move(candidate);
            return true;
        }
    }
    return false;
}

bool TFileLock::TryLock(const TPrivateFolder& folder, const std::string& name)
{
    Release();
    handle_ = folder.Valid() ? OpenLocked(folder, name, OPEN_ALWAYS) : nullptr;
    return handle_ != nullptr;
}

bool TFileLock::Locked() const
{
    return handle_ != nullptr;
}

void TFileLock::Release()
{
    if (handle_)
        ::CloseHandle(handle_);
    handle_ = nullptr;
}

#else

TFileLock& TFileLock::operator=(TFileLock&& other) noexcept
{
    if (this != &other) {
        Release();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool TFileLock::CreateUnique(const TPrivateFolder& folder, std::string_view prefix, std::string& name)
{
    Release();
    fd_ = folder.CreateUnique(prefix, name);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0)
        Release();
    return fd_ >= 0;
}

bool TFileLock::TryLock(const TPrivateFolder& folder, const std::string& name)
{
    Release();
    fd_ = folder.Open(name, O_RDWR | O_CREAT);
    // A lock of a description of its own: flock, unlike fcntl, is not given
    // up when another descriptor of the same file closes.
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0)
        Release();
    return fd_ >= 0;
}

bool TFileLock::Locked() const
{
    return fd_ >= 0;
}

void TFileLock::Release()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

#endif

TRecoveryStore::TRecoveryStore(TPrivateFolder folder) : folder_(std::move(folder))
{
    std::string lockName;
    if (folder_.Valid()
        && lock_.CreateUnique(folder_, std::string(LockPrefix) + std::to_string(OwnPid()) + "-", lockName))
        session_ = lockName.substr(LockPrefix.size());
    worker_ = std::thread([this] { Run(); });
}

TRecoveryStore::~TRecoveryStore()
{
    Wait();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
    if (!Valid())
        return;
    const std::string own = std::string(CopyPrefix) + session_ + "-";
    for (const std::string& name : folder_.Names())
        if (name.starts_with(own))
            folder_.Remove(name);
    folder_.Remove(std::string(LockPrefix) + session_);
    lock_.Release();
}

std::string TRecoveryStore::CopyName(int number) const
{
    return std::string(CopyPrefix) + session_ + "-" + std::to_string(number);
}

void TRecoveryStore::Queue(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void TRecoveryStore::Write(int number, std::string data)
{
    // Shared, so that the task stays copyable for std::function.
    auto shared = std::make_shared<std::string>(std::move(data));
    Queue([this, number, shared] {
        bool written = false;
        if (Valid()) {
            FinishRecoveryCopy(*shared);
            written = folder_.Write(CopyName(number), *shared);
        }
        shared->clear();
        shared->shrink_to_fit();
        if (Written)
            Written(written);
    });
}

void TRecoveryStore::Remove(int number)
{
    Queue([this, number] {
        if (Valid())
            folder_.Remove(CopyName(number));
    });
}

void TRecoveryStore::Wait()
{
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return tasks_.empty() && !busy_; });
}

void TRecoveryStore::Run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
        if (tasks_.empty())
            return;
        std::vector<std::function<void()>> tasks;
        tasks.swap(tasks_);
        busy_ = true;
        lock.unlock();
        for (std::function<void()>& task : tasks)
            task();
        lock.lock();
        busy_ = false;
        idle_.notify_all();
    }
}

TLeftCopies::TLeftCopies(const TPrivateFolder& folder, const std::string& ownSession) : folder_(folder)
{
    if (!folder.Valid())
        return;
    std::vector<std::string> names = folder.Names();
    std::sort(names.begin(), names.end());
    std::vector<std::string> sessions;
    for (const std::string& name : names) {
        std::string session = name.starts_with(LockPrefix) ? name.substr(LockPrefix.size()) : SessionOfCopy(name);
        if (!session.empty() && session != ownSession)
            sessions.push_back(std::move(session));
        if (OldTemporary(folder, name))
            folder.Remove(name);
    }
    std::sort(sessions.begin(), sessions.end());
    sessions.erase(std::unique(sessions.begin(), sessions.end()), sessions.end());
    for (const std::string& session : sessions) {
        TSession claimed{session, {}, false};
        // An editor that still runs holds its lock.
        if (!claimed.Lock.TryLock(folder, std::string(LockPrefix) + session))
            continue;
        bool any = false;
        for (const std::string& name : names) {
            if (SessionOfCopy(name) != session)
                continue;
            std::string data;
            TRecoveryCopy copy;
            if (folder.Read(name, data) && ParseRecoveryCopy(data, copy)) {
                Copies.push_back(std::move(copy));
                names_.push_back(name);
                any = true;
            } else {
                claimed.Keeps = true;
            }
        }
        // An editor that ended with nothing unsaved left only its lock.
        if (!any && !claimed.Keeps)
            folder.Remove(std::string(LockPrefix) + session);
        else
            sessions_.push_back(std::move(claimed));
    }
}

bool TLeftCopies::Adopt(std::size_t index, const TRecoveryStore& store, int number)
{
    if (index >= names_.size() || names_[index].empty() || !store.Valid())
        return false;
    const std::string to = store.CopyName(number);
#ifdef _WIN32
    std::error_code ec;
    fs::rename(fs::u8path(folder_.PathOf(names_[index])), fs::u8path(folder_.PathOf(to)), ec);
    const bool renamed = !ec;
#else
    const bool renamed = ::renameat(folder_.Descriptor(), names_[index].c_str(), folder_.Descriptor(), to.c_str()) == 0;
#endif
    if (renamed)
        names_[index].clear();
    return renamed;
}

void TLeftCopies::Discard()
{
    for (std::string& name : names_)
        if (!name.empty() && folder_.Remove(name))
            name.clear();
    for (TSession& session : sessions_) {
        const bool left = std::any_of(names_.begin(), names_.end(), [&](const std::string& name) {
            return !name.empty() && SessionOfCopy(name) == session.Name;
        });
        if (!session.Keeps && !left)
            folder_.Remove(std::string(LockPrefix) + session.Name);
    }
}

} // namespace zj
