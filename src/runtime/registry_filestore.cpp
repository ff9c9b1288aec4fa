// The registry off Windows: one export file in the user's configuration
// folder, read afresh by every operation so that several running editors see
// each other's settings.

#include "registry_backend.h"

#include "eintr.h"
#include "fdio.h"
#include "fileio.h"
#include "regfile.h"
#include "sysutils.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/types.h>
#include <unistd.h>

namespace zj {

namespace fs = std::filesystem;

namespace {

std::mutex sourceMutex;
std::shared_ptr<TClassesRootSource> classesRootSource;

const char* RootName(TRootKey root)
{
    switch (root) {
    case HKEY_CURRENT_USER:
        return "HKEY_CURRENT_USER";
    case HKEY_CLASSES_ROOT:
        return "HKEY_CLASSES_ROOT";
    }
    return nullptr;
}

[[noreturn]] void RaiseFileError(const std::string& what, const std::string& fileName, const std::string& why)
{
    throw ERegistryFileError(what + " '" + fileName + "': " + why, fileName, 0);
}

// No store of the program's is anywhere near this size: a larger file is
// damage, and is not read on.
constexpr std::size_t MaxStoreSize = 1 << 20;

[[noreturn]] void RaiseDamaged(const std::string& fileName, int line, const std::string& why)
{
    throw ERegistryFileError("The registry file '" + fileName + "' is damaged at line " + std::to_string(line)
                                 + ": " + why,
                             fileName, line);
}

// The store as it is now; an absent file (or folder) is an empty store.
TRegFile Load(const std::string& fileName)
{
    std::string text;
    if (int error = ReadRegularFile(fileName, text, MaxStoreSize + 1)) {
        if (error == ENOENT || error == ENOTDIR)
            return TRegFile();
        RaiseFileError("Cannot read the registry file", fileName, std::strerror(error));
    }
    // Too large: what was read is checked up to its last whole line, and the
    // store is refused after it, at the line that goes on too long or where
    // the size runs out.
    const bool whole = text.size() <= MaxStoreSize;
    std::size_t rest = 0;
    if (!whole) {
        const std::size_t cut = text.find_last_of("\r\n", MaxStoreSize - 1) + 1;
        rest = MaxStoreSize - cut;
        text.resize(cut);
    }
    try {
        TRegFile store = TRegFile::Parse(text);
        if (whole)
            return store;
    } catch (const ERegFileSyntax& e) {
        RaiseDamaged(fileName, e.Line(), e.what());
    }
    // Its lines end as the parser's do: in LF, CR LF or a lone CR.
    int lines = 1;
    for (std::size_t i = 0; i < text.size(); ++i)
        lines += text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
    RaiseDamaged(fileName, lines,
                 rest > TRegFile::MaxLineLength
                     ? "a line is longer than " + std::to_string(TRegFile::MaxLineLength) + " bytes"
                     : "the file is longer than " + std::to_string(MaxStoreSize >> 20) + " MB");
}

// Read, change and write back under an exclusive lock, so that two editors
// storing at once lose neither's values. change returns false to refuse.
// A change that changes nothing writes nothing and needs no lock, so a store
// that cannot be written still answers it.
template <typename Change>
bool Modify(const std::string& fileName, Change change)
{
    {
        TRegFile store = Load(fileName);
        if (!change(store))
            return false;
        if (!store.Modified())
            return true;
    }
    const fs::path file(fileName);
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec)
        RaiseFileError("Cannot create the folder of the registry file", fileName, ec.message());

    // The lock lives in a file of its own: the store itself is replaced by
    // every write, and a lock on a replaced file guards nothing.
    const std::string lockName = fileName + ".lock";
    // Closing the descriptor releases the lock.
    FileDescriptor lock(RetryOnEintr([&] { return ::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600); }));
    if (!lock.valid())
        RaiseFileError("Cannot lock the registry file", fileName, std::strerror(errno));
    if (RetryOnEintr([&] { return ::flock(lock.get(), LOCK_EX); }) != 0)
        RaiseFileError("Cannot lock the registry file", fileName, std::strerror(errno));

    TRegFile store = Load(fileName);
    if (!change(store))
        return false;
    if (store.Modified()) {
        try {
            WriteFileSafely(fileName, store.Text());
        } catch (const Exception& e) {
            RaiseFileError("Cannot write the registry file", fileName, e.what());
        }
    }
    return true;
}

class FileStoreKey : public TRegKeyHandle {
public:
    FileStoreKey(TRootKey root, std::string path, std::string fileName,
                 std::shared_ptr<TClassesRootSource> source)
        : root_(root), path_(std::move(path)), fileName_(std::move(fileName)), source_(std::move(source))
    {
    }

    const std::string& Path() const { return path_; }
    const std::string& FileName() const { return fileName_; }
    const std::shared_ptr<TClassesRootSource>& Source() const { return source_; }

    Query Get(const std::string& name, TRegValue& value, std::size_t maxSize) override
    {
        TRegFile store = Load(fileName_);
        int line = 0;
        if (const TRegValue* found = store.FindValue(FullPath(), name, &line)) {
            if (found->Data.size() > maxSize)
                RaiseDamaged(fileName_, line, "the value is longer than " + std::to_string(maxSize - 1) + " bytes");
            value = *found;
            return Query::Found;
        }
        if (root_ == HKEY_CLASSES_ROOT && source_) {
            if (std::optional<TRegValue> answer = source_->Value(path_, name)) {
                value = std::move(*answer);
                return Query::Found;
            }
        }
        return Query::Missing;
    }

    bool Set(const std::string& name, const TRegValue& value) override
    {
        // The classes root is only read here: file associations belong to the desktop.
        if (root_ != HKEY_CURRENT_USER)
            return false;
        return Modify(fileName_, [&](TRegFile& store) { return store.SetValue(FullPath(), name, value); });
    }

    std::string FullPath() const
    {
        return path_.empty() ? std::string(RootName(root_)) : std::string(RootName(root_)) + "\\" + path_;
    }

private:
    TRootKey root_;
    std::string path_;
    std::string fileName_;
    std::shared_ptr<TClassesRootSource> source_;
};

std::shared_ptr<TClassesRootSource> CurrentClassesRootSource()
{
    std::lock_guard<std::mutex> guard(sourceMutex);
    return classesRootSource;
}

} // namespace

std::string RegistryFileName()
{
    return UserFolder("XDG_CONFIG_HOME", ".config") + "/registry.reg";
}

void SetClassesRootSource(std::shared_ptr<TClassesRootSource> source)
{
    std::lock_guard<std::mutex> guard(sourceMutex);
    classesRootSource = std::move(source);
}

std::unique_ptr<TRegKeyHandle> OpenRegistryKey(TRootKey root, TRegKeyHandle* parent, const std::string& key,
                                               bool canCreate)
{
    if (!RootName(root) || !TRegFile::IsWritableName(key))
        return nullptr;
    const std::string path
        = TRegFile::NormalizePath(parent ? static_cast<FileStoreKey*>(parent)->Path() + "\\" + key : key);
    auto opened = std::make_unique<FileStoreKey>(root, path, RegistryFileName(), CurrentClassesRootSource());
    if (path.empty())
        return opened; // the root itself
    const std::string fullPath = opened->FullPath();
    if (Load(opened->FileName()).KeyExists(fullPath))
        return opened;
    if (root == HKEY_CLASSES_ROOT) {
        // Nothing is ever created under this root.
        if (opened->Source() && opened->Source()->KeyExists(path))
            return opened;
        return nullptr;
    }
    if (!canCreate)
        return nullptr;
    Modify(opened->FileName(), [&](TRegFile& store) {
        store.AddKey(fullPath);
        return true;
    });
    return opened;
}

} // namespace zj
