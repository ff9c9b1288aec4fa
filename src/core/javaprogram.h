#pragma once

#include <string>
#include <string_view>

namespace zj {

// What running a Java source file's program takes: its class, named with the
// package of its package declaration, the class path root that holds the
// package's folders, and the folder of the file.
struct TJavaProgram {
    std::string ClassName;
    std::string ClassPath;
    std::string Folder;
    // Where javac, run on the file as the compile command runs it, puts the
    // class.
    std::string ClassFile;
};

// The package named by the declaration that opens source (after comments),
// or empty.
std::string JavaPackage(std::string_view source);

// sourceFile's program, given the file's text. When the file's folders do
// not end in the package's, the class path is the file's folder.
TJavaProgram JavaProgramOf(const std::string& sourceFile, std::string_view source);

// Whether classFile is missing or older than sourceFile.
bool ClassFileOutOfDate(const std::string& sourceFile, const std::string& classFile);

// The Java launcher: "java" ("java.exe" on Windows) in the compiler's folder,
// else the one on the search path; empty when there is none.
std::string JavaLauncher(const std::string& compilerPath);

} // namespace zj
