#include "cmdline.h"
#include "exceptions.h"
#include "launch.h"

#include "ownfolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace zj;
using zj::test::OwnFolder;
namespace fs = std::filesystem;

namespace {

// Starts the child that records its arguments; what it wrote, or "" after ten seconds.
std::string Recorded(const fs::path& out, const std::string& placeholder, const std::string& fileName)
{
    const std::string command = QuoteProgram((OwnFolder() / ARGS_CHILD_NAME).string()) + " "
                                + QuoteArgument(out.string()) + " " + placeholder;
    if (!StartBrowserProcess(command, fileName))
        return "(not started)";
    for (int i = 0; i < 200 && !fs::exists(out); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(out, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(StartBrowserProcess, TheFileNameReachesTheProgramUnchangedAndFailuresStartNothing)
{
    const fs::path dir = fs::temp_directory_path() / ("zj_launch_" + std::to_string(std::random_device()()));
    fs::create_directories(dir);
    std::vector<std::string> names = {"C:\\my work\\page.html", "100%d;%s;&|x.html"};
#ifndef _WIN32
    // No shell reads them, and no quote or backslash of a name regroups the arguments.
    names.insert(names.end(), {"say \"hi\" $(touch pwned) `id`.html", "a\\\" b.html", "trailing\\"});
    // The name stays whole even where the association left it unquoted.
    EXPECT_EQ(Recorded(dir / "bare", "%s", "/my work/page.html"), "/my work/page.html\n");
#endif
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(Recorded(dir / std::to_string(i), "\"%s\"", names[i]), names[i] + "\n");

    EXPECT_FALSE(StartBrowserProcess(QuoteProgram((dir / "missing").string()) + " \"%s\"", "page.html"));
    EXPECT_FALSE(StartBrowserProcess("", "page.html"));
    EXPECT_THROW(Recorded(dir / "never", "\"%s\" \"%1\"", "page.html"), EConvertError);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(dir / "never"));
    EXPECT_FALSE(fs::exists("pwned"));
    fs::remove_all(dir);
}
