#pragma once

// A folder of the running user's private files, such as the copies a save
// keeps of a file's old content. The folder and each file in it are trusted
// only when they belong to the user, nobody else may write them, and they are
// not reached through a symbolic link; whatever is not trusted is ignored and
// left in place. Files are reached through the folder held open, so a name
// swapped after the folder was checked cannot lead elsewhere.

#include <string>
#include <string_view>
#include <vector>

namespace zj {

class TPrivateFolder {
public:
    // Opens folder. With create, a missing folder is made (0700, with the
    // folders missing above it) when the nearest existing folder above it is
    // the user's own. A folder of the user's that others may write is made
    // private first.
    explicit TPrivateFolder(const std::string& folder, bool create = true);
    // The program's folder under an XDG base folder (UserFolder's rules), or,
    // when that one cannot be trusted (the program was started with another
    // user's environment), the one under the home folder of the user's own
    // account. On Windows: the folder named like underHome's last part without
    // its dot (".cache" gives "cache") in the program's folder of the user's
    // local application data, which is the user's own.
    static TPrivateFolder ForUser(const char* variable, const char* underHome, bool create = true);

    ~TPrivateFolder();
    TPrivateFolder(TPrivateFolder&& other) noexcept;
    TPrivateFolder& operator=(TPrivateFolder&& other) noexcept;
    TPrivateFolder(const TPrivateFolder&) = delete;
    TPrivateFolder& operator=(const TPrivateFolder&) = delete;

    // False when the folder is missing or not trusted: nothing may be kept there.
    bool Valid() const;
    const std::string& Path() const { return path_; }
    std::string PathOf(std::string_view name) const;

    // Every name in the folder, trusted or not.
    std::vector<std::string> Names() const;
    // The whole content of a trusted file; false when it is missing, not
    // trusted or cannot be read.
    bool Read(const std::string& name, std::string& data) const;
    // Replaces the file name with data, readable by the user only. True when
    // the new file is on disk; a failure leaves the old one as it was.
    bool Write(const std::string& name, std::string_view data) const;
    // Removes a trusted file; false when it is missing or not trusted.
    bool Remove(const std::string& name) const;

#ifndef _WIN32
    int Descriptor() const { return fd_; }
    // open(2) of a file of the folder, O_NOFOLLOW and O_CLOEXEC added, a
    // created file 0600: its descriptor, or -1 with errno set, EPERM when the
    // file is there but not trusted.
    int Open(const std::string& name, int flags) const;
    // Creates a file named prefix and six random letters or digits, open for
    // reading and writing; its name goes to name. -1 when none can be made.
    int CreateUnique(std::string_view prefix, std::string& name) const;
#endif

private:
    std::string path_;
#ifdef _WIN32
    bool valid_ = false;
#else
    int fd_ = -1;
#endif
};

} // namespace zj
