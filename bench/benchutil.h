#pragma once

// Small helpers the benchmark programs share.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zj::bench {

// A field of /proc/self/status in kilobytes ("VmRSS:", "VmHWM:").
inline long KiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    return 0;
}

// Starts a new peak of the resident size.
inline void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A folder of the benchmark's own for its files.
inline const std::filesystem::path& Folder()
{
    static const std::filesystem::path folder = [] {
        std::filesystem::path path = std::filesystem::temp_directory_path() / ("zj_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

// Dates the file an hour back, as a user's file usually is: one written a
// moment ago is read again when its window first becomes active, to be sure
// of its content.
inline void MakeOld(const std::filesystem::path& path)
{
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
}

// A shell script in Folder() that may be run.
inline std::string Script(const std::string& name, const std::string& body)
{
    const std::string path = (Folder() / name).string();
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0755);
    return path;
}

// Output echoed to the standard output goes to /dev/null meanwhile, away
// from the report.
class TQuietStdout {
public:
    TQuietStdout() : saved_(fcntl(1, F_DUPFD_CLOEXEC, 3))
    {
        std::fflush(stdout);
        const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
        dup2(devNull, 1);
        close(devNull);
    }
    ~TQuietStdout()
    {
        dup2(saved_, 1);
        close(saved_);
    }
    TQuietStdout(const TQuietStdout&) = delete;
    TQuietStdout& operator=(const TQuietStdout&) = delete;

private:
    int saved_;
};

} // namespace zj::bench
