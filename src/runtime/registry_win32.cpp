// The Windows registry through advapi32.

#include "registry_backend.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>
#include <string_view>
#include <type_traits>

namespace zj {

static_assert(std::is_same_v<TRootKey, HKEY>, "TRootKey must be HKEY");

namespace {

std::wstring Widen(std::string_view text)
{
    if (text.empty())
        return {};
    int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
    return result;
}

std::string Narrow(std::wstring_view text)
{
    if (text.empty())
        return {};
    int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length,
                          nullptr, nullptr);
    return result;
}

bool IsTextType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

class Win32Key : public TRegKeyHandle {
public:
    explicit Win32Key(HKEY key) : key_(key) {}
    ~Win32Key() override { ::RegCloseKey(key_); }
    Win32Key(const Win32Key&) = delete;
    Win32Key& operator=(const Win32Key&) = delete;

    HKEY Handle() const { return key_; }

    Query Get(const std::string& name, TRegValue& value, std::size_t) override
    {
        const std::wstring wideName = Widen(name);
        DWORD type = 0;
        DWORD size = 0;
        LONG status = ::RegQueryValueExW(key_, wideName.c_str(), nullptr, &type, nullptr, &size);
        std::string data;
        // Another program may grow the value between the two calls.
        while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
            data.resize(size);
            DWORD fetched = size;
            status = ::RegQueryValueExW(key_, wideName.c_str(), nullptr, &type,
                                        reinterpret_cast<BYTE*>(data.data()), &fetched);
            if (status == ERROR_SUCCESS) {
                data.resize(fetched);
                break;
            }
            if (status != ERROR_MORE_DATA)
                break;
            size = fetched > size ? fetched : size + 256;
        }
        if (status == ERROR_FILE_NOT_FOUND)
            return Query::Missing;
        if (status != ERROR_SUCCESS)
            return Query::Failed;
        value.Type = type;
        if (IsTextType(type)) {
            // Whole UTF-16 units only; the NULs convert as they are.
            std::wstring wide(data.size() / 2, L'\0');
            std::memcpy(wide.data(), data.data(), wide.size() * 2);
            value.Data = Narrow(wide);
        } else {
            value.Data = std::move(data);
        }
        return Query::Found;
    }

    bool Set(const std::string& name, const TRegValue& value) override
    {
        std::string data = value.Data;
        if (IsTextType(value.Type)) {
            std::wstring wide = Widen(value.Data);
            data.assign(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
        }
        return ::RegSetValueExW(key_, Widen(name).c_str(), 0, value.Type,
                                reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()))
               == ERROR_SUCCESS;
    }

private:
    HKEY key_;
};

} // namespace

TRegistry::TRegistry() : TRegistry(HKEY_CURRENT_USER) {}

std::unique_ptr<TRegKeyHandle> OpenRegistryKey(TRootKey root, TRegKeyHandle* parent, const std::string& key,
                                               bool canCreate)
{
    HKEY base = parent ? static_cast<Win32Key*>(parent)->Handle() : root;
    const std::wstring wideKey = Widen(key);
    HKEY opened = nullptr;
    // Full access even to read: a key we could not write counts as absent.
    LONG status = canCreate ? ::RegCreateKeyExW(base, wideKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                KEY_ALL_ACCESS, nullptr, &opened, nullptr)
                            : ::RegOpenKeyExW(base, wideKey.c_str(), 0, KEY_ALL_ACCESS, &opened);
    if (status != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<Win32Key>(opened);
}

} // namespace zj
