#pragma once

#include "exceptions.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#ifdef _WIN32
struct HKEY__;
#endif

namespace zj {

#ifdef _WIN32
// HKEY. HKEY_CURRENT_USER and HKEY_CLASSES_ROOT come from <windows.h>, which
// this header leaves out: its macros (FormatMessage among them) clash with ours.
using TRootKey = ::HKEY__*;
#else
// The two roots the program uses, with their Windows values.
enum TRootKey : std::uint32_t {
    HKEY_CLASSES_ROOT = 0x80000000u,
    HKEY_CURRENT_USER = 0x80000001u,
};
#endif

// Value types as Windows numbers them; the file store keeps them.
enum TRegDataType : std::uint32_t {
    REGT_NONE = 0,
    REGT_SZ = 1,
    REGT_EXPAND_SZ = 2,
    REGT_BINARY = 3,
    REGT_DWORD = 4,
    REGT_MULTI_SZ = 7,
};

// Raised by the value operations; what() is one of "Invalid data type for '%s'",
// "Failed to get data for '%s'" or "Failed to set data for '%s'" with the value
// name (empty for a key's default value).
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// The file store (every platform but Windows) raises this when its file cannot
// be used; the file is then left exactly as it was.
// - A file that does not parse: Line() is the 1-based line at fault and the
//   message reads "The registry file '<path>' is damaged at line <n>: <why>".
// - A file or folder that cannot be read, created, locked or written: Line()
//   is 0 and the message names the path and the system's reason.
// Every TRegistry operation that reads or writes the store may raise it,
// OpenKey included: a program that cannot keep its settings says so once and
// clearly, rather than failing later with "Failed to set data for '%s'".
class ERegistryFileError : public ERegistryException {
public:
    ERegistryFileError(const std::string& message, std::string fileName, int line)
        : ERegistryException(message), fileName_(std::move(fileName)), line_(line)
    {
    }
    const std::string& FileName() const { return fileName_; }
    int Line() const { return line_; }

private:
    std::string fileName_;
    int line_;
};

// One value as a backend holds it. The data of string types is UTF-8 with the
// terminating NUL, on Windows too, so that size rules count the same bytes
// everywhere.
struct TRegValue {
    std::uint32_t Type = REGT_NONE;
    std::string Data;
};

class TRegKeyHandle;

// The registry with one key open at a time. Names are UTF-8; levels of a key
// name are separated by "\".
class TRegistry {
public:
    TRegistry(); // HKEY_CURRENT_USER
    explicit TRegistry(TRootKey root);
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // The open key below the root, without a leading "\"; empty when none is open.
    const std::string& CurrentPath() const { return currentPath_; }
    bool HasCurrentKey() const { return current_ != nullptr; }

    // Opens key below the open key, or below the root when no key is open or
    // key starts with "\". Success closes the key open before; failure leaves
    // it open.
    bool OpenKey(const std::string& key, bool canCreate);
    void CloseKey();

    bool ValueExists(const std::string& name);
    // REG_SZ or REG_EXPAND_SZ (not expanded) up to the first NUL. A missing
    // value, no open key, or empty data of any type read as "".
    std::string ReadString(const std::string& name);
    // The same for a value the caller can use only up to maxLength bytes:
    // longer data is refused unread, with "Failed to get data for '%s'" or
    // the file store's damaged-file error at the value's line.
    std::string ReadString(const std::string& name, std::size_t maxLength);
    // Written as REG_SZ, up to the first NUL, replacing a value of any type.
    void WriteString(const std::string& name, const std::string& value);
    // REG_DWORD only.
    std::int32_t ReadInteger(const std::string& name);
    void WriteInteger(const std::string& name, std::int32_t value);

private:
    TRootKey root_;
    std::unique_ptr<TRegKeyHandle> current_;
    std::string currentPath_;
};

#ifndef _WIN32
// The store's file as the environment names it now.
std::string RegistryFileName();

// Answers HKEY_CLASSES_ROOT keys and values that the store file does not hold
// (the desktop's file associations). Paths are below the root.
class TClassesRootSource {
public:
    virtual ~TClassesRootSource() = default;
    virtual bool KeyExists(const std::string& path) = 0;
    virtual std::optional<TRegValue> Value(const std::string& path, const std::string& name) = 0;
};
// The source that keys opened from now on consult; null for none.
void SetClassesRootSource(std::shared_ptr<TClassesRootSource> source);
#endif

} // namespace zj
