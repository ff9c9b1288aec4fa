#pragma once

#include <string>
#include <string_view>

namespace zj {

// The characters that end a folder part in a file name on this platform.
#ifdef _WIN32
inline constexpr std::string_view PathDelimiters = "\\:";
#else
inline constexpr std::string_view PathDelimiters = "/";
#endif

// Index of the last character of s that is one of delims, or npos.
std::size_t LastDelimiter(std::string_view delims, std::string_view s);

// The extension with its dot: the text from the last "." that stands after the
// last delimiter; empty when there is no such dot.
std::string ExtractFileExt(std::string_view fileName, std::string_view delims = PathDelimiters);
// The name without its folder: the text after the last delimiter.
std::string ExtractFileName(std::string_view fileName, std::string_view delims = PathDelimiters);
// The folder part, through the last delimiter.
std::string ExtractFilePath(std::string_view fileName, std::string_view delims = PathDelimiters);
// The folder without its trailing delimiter, unless that delimiter follows a
// drive's ":" (a drive's root keeps it).
std::string ExtractFileDir(std::string_view fileName, std::string_view delims = PathDelimiters);
// fileName with its extension replaced by ext (which carries its own dot), or
// with ext appended when it has none.
std::string ChangeFileExt(std::string_view fileName, std::string_view ext,
                          std::string_view delims = PathDelimiters);

// True when something that is not a folder exists under that name. Invalid
// names, and names that cannot be looked up, count as missing.
bool FileExists(const std::string& fileName);

// True when fileName names a regular file, through links: not a folder, a
// device or a FIFO, which no window can show.
bool IsRegularFile(const std::string& fileName);

// True when fileName names a regular file that may be run.
bool IsProgramFile(const std::string& fileName);

// The full name of program in the first folder of the search path (PATH)
// that holds it as a file that may be run; empty when none does. On Windows
// ".exe" is added to a name without an extension.
std::string FindOnPath(const std::string& program);

// True when both names lead to the same file, compared as the file system
// would: made absolute, "." and ".." resolved, letter case ignored on Windows,
// and two names of one existing file (through links) counted as the same.
bool SameFile(const std::string& a, const std::string& b);

// Only the ASCII letters change case; every other byte stays as it is.
std::string UpperCaseAscii(std::string_view s);

// "%s" in pattern replaced by arg; the program's messages take one argument.
std::string FormatMessage(std::string_view pattern, std::string_view arg);

#ifndef _WIN32
// The program's own folder under an XDG base folder: variable's value when it
// is absolute (relative values are to be ignored), else underHome in the home
// folder; e.g. UserFolder("XDG_CACHE_HOME", ".cache").
std::string UserFolder(const char* variable, const char* underHome);
#endif

} // namespace zj
