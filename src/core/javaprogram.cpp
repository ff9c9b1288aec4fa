#include "javaprogram.h"

#include "sysutils.h"

#include <filesystem>
#include <system_error>

namespace zj {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool IsNameChar(char c)
{
    // Letters beyond ASCII are bytes of UTF-8 here, and names may hold them.
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$'
           || static_cast<unsigned char>(c) >= 0x80;
}

// Past blanks and comments from pos.
std::size_t SkipSpace(std::string_view text, std::size_t pos)
{
    while (pos < text.size()) {
        if (IsBlank(text[pos])) {
            ++pos;
        } else if (text.substr(pos, 2) == "//") {
            pos = text.find('\n', pos);
        } else if (text.substr(pos, 2) == "/*") {
            pos = text.find("*/", pos + 2);
            pos = pos == std::string_view::npos ? pos : pos + 2;
        } else {
            break;
        }
    }
    return pos == std::string_view::npos ? text.size() : pos;
}

} // namespace

std::string JavaPackage(std::string_view source)
{
    // A byte-order mark may open the file.
    std::size_t pos = source.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    pos = SkipSpace(source, pos);
    if (source.substr(pos, 7) != "package" || pos + 7 >= source.size() || IsNameChar(source[pos + 7]))
        return {};
    std::string name;
    for (pos = SkipSpace(source, pos + 7); pos < source.size(); pos = SkipSpace(source, pos)) {
        const char c = source[pos];
        if (c == ';')
            return name;
        if (c != '.' && !IsNameChar(c))
            return {};
        name += c;
        ++pos;
    }
    return {};
}

TJavaProgram JavaProgramOf(const std::string& sourceFile, std::string_view source)
{
    TJavaProgram program;
    program.Folder = ExtractFileDir(sourceFile);
    const std::string base = ChangeFileExt(ExtractFileName(sourceFile), "");
    program.ClassFile = ExtractFilePath(sourceFile) + base + ".class";
    const std::string package = JavaPackage(source);
    program.ClassName = package.empty() ? base : package + "." + base;
    program.ClassPath = program.Folder;
    // The root is the folder above as many folders as the package has parts,
    // when their names are the parts.
    std::string folder = program.Folder;
    std::string rest = package;
    while (!rest.empty()) {
        const std::size_t dot = rest.rfind('.');
        const std::string part = dot == std::string::npos ? rest : rest.substr(dot + 1);
        if (ExtractFileName(folder) != part)
            return program;
        folder = ExtractFileDir(folder);
        rest = dot == std::string::npos ? std::string() : rest.substr(0, dot);
    }
    if (!folder.empty())
        program.ClassPath = folder;
    return program;
}

bool ClassFileOutOfDate(const std::string& sourceFile, const std::string& classFile)
{
    namespace fs = std::filesystem;
    std::error_code sourceError, classError;
    const fs::file_time_type source = fs::last_write_time(fs::u8path(sourceFile), sourceError);
    const fs::file_time_type compiled = fs::last_write_time(fs::u8path(classFile), classError);
    return classError || (!sourceError && compiled < source);
}

std::string JavaLauncher(const std::string& compilerPath)
{
#ifdef _WIN32
    const std::string name = "java.exe";
#else
    const std::string name = "java";
#endif
    const std::string beside = ExtractFilePath(compilerPath) + name;
    if (!ExtractFilePath(compilerPath).empty() && IsProgramFile(beside))
        return beside;
    return FindOnPath(name);
}

} // namespace zj
