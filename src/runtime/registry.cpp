#include "registry.h"

#include "registry_backend.h"
#include "sysutils.h"

#include <cstring>

namespace zj {

namespace {

[[noreturn]] void RaiseInvalidType(const std::string& name)
{
    throw ERegistryException(FormatMessage("Invalid data type for '%s'", name));
}

[[noreturn]] void RaiseGetFailed(const std::string& name)
{
    throw ERegistryException(FormatMessage("Failed to get data for '%s'", name));
}

[[noreturn]] void RaiseSetFailed(const std::string& name)
{
    throw ERegistryException(FormatMessage("Failed to set data for '%s'", name));
}

} // namespace

#ifndef _WIN32
// The Windows backend has its own, with <windows.h> in reach.
TRegistry::TRegistry() : TRegistry(HKEY_CURRENT_USER) {}
#endif

TRegistry::TRegistry(TRootKey root) : root_(root) {}

TRegistry::~TRegistry() = default;

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    const bool relative = key.empty() || key.front() != '\\';
    std::string name = relative ? key : key.substr(1);
    TRegKeyHandle* parent = relative ? current_.get() : nullptr;
    std::unique_ptr<TRegKeyHandle> opened = OpenRegistryKey(root_, parent, name, canCreate);
    if (!opened)
        return false;
    std::string path = name;
    if (parent && !currentPath_.empty())
        path = name.empty() ? currentPath_ : currentPath_ + "\\" + name;
    current_ = std::move(opened);
    currentPath_ = std::move(path);
    return true;
}

void TRegistry::CloseKey()
{
    current_.reset();
    currentPath_.clear();
}

bool TRegistry::ValueExists(const std::string& name)
{
    TRegValue value;
    return current_ && current_->Get(name, value, value.Data.max_size()) == TRegKeyHandle::Query::Found;
}

std::string TRegistry::ReadString(const std::string& name)
{
    return ReadString(name, std::string().max_size() - 1);
}

std::string TRegistry::ReadString(const std::string& name, std::size_t maxLength)
{
    if (!current_)
        return {};
    TRegValue value;
    // Room for the terminating NUL.
    switch (current_->Get(name, value, maxLength + 1)) {
    case TRegKeyHandle::Query::Missing:
        return {};
    case TRegKeyHandle::Query::Failed:
        RaiseGetFailed(name);
    case TRegKeyHandle::Query::Found:
        break;
    }
    // Empty data says nothing about its type: it reads as "" whatever the type.
    if (value.Data.empty())
        return {};
    if (value.Type != REGT_SZ && value.Type != REGT_EXPAND_SZ)
        RaiseInvalidType(name);
    std::string text = value.Data.substr(0, value.Data.find('\0'));
    if (text.size() > maxLength)
        RaiseGetFailed(name);
    return text;
}

void TRegistry::WriteString(const std::string& name, const std::string& value)
{
    TRegValue data{REGT_SZ, value.substr(0, value.find('\0'))};
    data.Data.push_back('\0');
    if (!current_ || !current_->Set(name, data))
        RaiseSetFailed(name);
}

std::int32_t TRegistry::ReadInteger(const std::string& name)
{
    TRegValue value;
    if (!current_ || current_->Get(name, value, value.Data.max_size()) != TRegKeyHandle::Query::Found)
        RaiseGetFailed(name);
    // The size is checked before the type: more than four bytes of anything
    // cannot be fetched into an integer at all.
    if (value.Data.size() > 4)
        RaiseGetFailed(name);
    if (value.Type != REGT_DWORD)
        RaiseInvalidType(name);
    unsigned char bytes[4] = {};
    std::memcpy(bytes, value.Data.data(), value.Data.size());
    std::uint32_t result = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24;
    return static_cast<std::int32_t>(result);
}

void TRegistry::WriteInteger(const std::string& name, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    TRegValue data{REGT_DWORD, std::string(4, '\0')};
    for (int i = 0; i < 4; ++i)
        data.Data[i] = static_cast<char>(bits >> (8 * i) & 0xff);
    if (!current_ || !current_->Set(name, data))
        RaiseSetFailed(name);
}

} // namespace zj
