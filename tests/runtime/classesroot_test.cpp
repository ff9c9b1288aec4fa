// HKEY_CLASSES_ROOT as the browser lookup reads it: the real registry under
// Wine, the desktop's associations elsewhere.

#include "registry.h"

#include <gtest/gtest.h>

#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include "classesroot_gio.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#endif

using namespace zj;

#ifdef _WIN32

TEST(ClassesRoot, KeysOpenOneByOneWithoutBeingCreated)
{
    TRegistry reg(HKEY_CLASSES_ROOT);
    // Wine's own open command for HTML documents.
    ASSERT_TRUE(reg.OpenKey("htmlfile", false));
    ASSERT_TRUE(reg.OpenKey("shell", false));
    ASSERT_TRUE(reg.OpenKey("open", false));
    ASSERT_TRUE(reg.OpenKey("command", false));
    EXPECT_NE(reg.ReadString("").find("\"%1\""), std::string::npos) << reg.ReadString("");

    const std::string missing = "zj-missing-" + std::to_string(std::random_device()());
    EXPECT_FALSE(reg.OpenKey("\\" + missing, false));
    EXPECT_FALSE(reg.OpenKey("\\htmlfile\\shell\\" + missing, false));
    EXPECT_EQ(reg.CurrentPath(), "htmlfile\\shell\\open\\command");
    for (const std::string& key : {missing, "htmlfile\\shell\\" + missing}) {
        HKEY opened;
        EXPECT_NE(::RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened), ERROR_SUCCESS) << key;
    }
}

#else

TEST(ClassesRoot, ExecLinesBecomeOpenCommands)
{
    namespace fs = std::filesystem;
    const fs::path bin = fs::temp_directory_path() / ("zj_exec_" + std::to_string(std::random_device()()));
    fs::create_directories(bin);
    std::ofstream(bin / "zjb") << "#!/bin/sh\n";
    ::chmod((bin / "zjb").c_str(), 0755);
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
    const std::string zjb = (bin / "zjb").string();

    const std::pair<const char*, std::string> cases[] = {
        {"zjb --new-window %U %f", zjb + " --new-window \"%1\""},
        {"zjb %i %c %k --url=%u", zjb + " \"--url=%1\""},
        {"zjb \"a b\" 'c\"d' %F", zjb + " \"a b\" \"c\\\"d\" \"%1\""},
        {"zjb --proxy=50%% %u", zjb + " --proxy=50%% \"%1\""},
        {"zjb", zjb + " \"%1\""},
        {"'/opt/my browser/zjb' %u", "\"/opt/my browser/zjb\" \"%1\""},
        {"no-such-browser %u", "no-such-browser \"%1\""},
    };
    for (const auto& [exec, command] : cases)
        EXPECT_EQ(OpenCommandFromExec(exec), command) << exec;
    EXPECT_EQ(OpenCommandFromExec("zjb \"unclosed %u"), std::nullopt);

    ::setenv("PATH", path.c_str(), 1);
    fs::remove_all(bin);
}

#endif
