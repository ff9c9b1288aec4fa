#pragma once

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace zj::test {

// The folder of the running test program, where the child programs it starts
// are built.
inline std::filesystem::path OwnFolder()
{
#ifdef _WIN32
    std::wstring name(32768, L'\0');
    name.resize(GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size())));
    return std::filesystem::path(name).parent_path();
#else
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
#endif
}

} // namespace zj::test
