#include "process.h"

#include <windows.h>

namespace zj {

namespace {

std::wstring ToWide(UINT codePage, DWORD flags, std::string_view text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), length);
    return wide;
}

} // namespace

std::wstring CommandLineToWide(std::string_view cmdLine)
{
    if (cmdLine.empty())
        return {};
    std::wstring wide = ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, cmdLine);
    if (wide.empty())
        wide = ToWide(CP_ACP, 0, cmdLine);
    return wide;
}

} // namespace zj
