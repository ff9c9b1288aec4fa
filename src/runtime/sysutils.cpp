#include "sysutils.h"

#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace zj {

std::size_t LastDelimiter(std::string_view delims, std::string_view s)
{
    return s.find_last_of(delims);
}

namespace {

// Position of the extension's dot, or npos.
std::size_t ExtensionDot(std::string_view fileName, std::string_view delims)
{
    std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return dot;
    std::size_t delim = LastDelimiter(delims, fileName);
    if (delim != std::string_view::npos && delim > dot)
        return std::string_view::npos;
    return dot;
}

} // namespace

std::string ExtractFileExt(std::string_view fileName, std::string_view delims)
{
    std::size_t dot = ExtensionDot(fileName, delims);
    return dot == std::string_view::npos ? std::string() : std::string(fileName.substr(dot));
}

std::string ExtractFileName(std::string_view fileName, std::string_view delims)
{
    std::size_t delim = LastDelimiter(delims, fileName);
    return std::string(delim == std::string_view::npos ? fileName : fileName.substr(delim + 1));
}

std::string ExtractFilePath(std::string_view fileName, std::string_view delims)
{
    std::size_t delim = LastDelimiter(delims, fileName);
    return delim == std::string_view::npos ? std::string() : std::string(fileName.substr(0, delim + 1));
}

std::string ExtractFileDir(std::string_view fileName, std::string_view delims)
{
    std::size_t delim = LastDelimiter(delims, fileName);
    if (delim == std::string_view::npos)
        return {};
    std::size_t length = delim + 1;
    bool keepsDelimiter = delim == 0 || fileName[delim] == ':'
                          || delims.find(fileName[delim - 1]) != std::string_view::npos;
    if (!keepsDelimiter)
        --length;
    return std::string(fileName.substr(0, length));
}

std::string ChangeFileExt(std::string_view fileName, std::string_view ext, std::string_view delims)
{
    std::size_t dot = ExtensionDot(fileName, delims);
    std::string result(dot == std::string_view::npos ? fileName : fileName.substr(0, dot));
    result += ext;
    return result;
}

bool FileExists(const std::string& fileName)
{
    if (fileName.empty())
        return false;
    std::error_code ec;
    auto st = std::filesystem::status(std::filesystem::u8path(fileName), ec);
    if (ec)
        return false;
    return std::filesystem::exists(st) && !std::filesystem::is_directory(st);
}

bool IsRegularFile(const std::string& fileName)
{
    if (fileName.empty())
        return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::u8path(fileName), ec) && !ec;
}

bool IsProgramFile(const std::string& fileName)
{
#ifdef _WIN32
    return IsRegularFile(fileName);
#else
    return IsRegularFile(fileName) && ::access(fileName.c_str(), X_OK) == 0;
#endif
}

std::string FindOnPath(const std::string& program)
{
#ifdef _WIN32
    constexpr char Separator = ';';
    const std::string name = ExtractFileExt(program).empty() ? program + ".exe" : program;
#else
    constexpr char Separator = ':';
    const std::string& name = program;
#endif
    const char* path = std::getenv("PATH");
    if (!path || name.empty() || LastDelimiter(PathDelimiters, name) != std::string::npos)
        return {};
    std::string_view folders(path);
    for (;;) {
        const std::size_t end = folders.find(Separator);
        const std::string_view folder = folders.substr(0, end);
        // An empty entry is the current folder, which a program's name never
        // means here.
        if (!folder.empty()) {
            std::string candidate(folder);
            if (PathDelimiters.find(candidate.back()) == std::string_view::npos)
                candidate += PathDelimiters.front() == '/' ? '/' : '\\';
            candidate += name;
            if (IsProgramFile(candidate))
                return candidate;
        }
        if (end == std::string_view::npos)
            return {};
        folders.remove_prefix(end + 1);
    }
}

bool SameFile(const std::string& a, const std::string& b)
{
    namespace fs = std::filesystem;
    std::error_code firstError, secondError;
    const fs::path first = fs::absolute(fs::u8path(a), firstError).lexically_normal();
    const fs::path second = fs::absolute(fs::u8path(b), secondError).lexically_normal();
    if (firstError || secondError)
        return false;
#ifdef _WIN32
    auto folded = [](const fs::path& path) {
        std::wstring name = path.native();
        for (wchar_t& c : name)
            c = static_cast<wchar_t>(std::towupper(c));
        return name;
    };
    if (folded(first) == folded(second))
        return true;
#else
    if (first == second)
        return true;
#endif
    std::error_code ec;
    return fs::equivalent(first, second, ec) && !ec;
}

std::string UpperCaseAscii(std::string_view s)
{
    std::string result(s);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
}

std::string FormatMessage(std::string_view pattern, std::string_view arg)
{
    std::string result;
    std::size_t at = pattern.find("%s");
    if (at == std::string_view::npos)
        return std::string(pattern);
    result.reserve(pattern.size() + arg.size());
    result.append(pattern.substr(0, at)).append(arg).append(pattern.substr(at + 2));
    return result;
}

#ifndef _WIN32
std::string UserFolder(const char* variable, const char* underHome)
{
    namespace fs = std::filesystem;
    const char* value = std::getenv(variable);
    fs::path base;
    if (value && *value == '/') {
        base = value;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* entry = ::getpwuid(::getuid());
            home = entry ? entry->pw_dir : "/";
        }
        base = fs::path(home) / underHome;
    }
    return (base / "zorvane-java-editor").string();
}
#endif

} // namespace zj
