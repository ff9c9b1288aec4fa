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
    // An association of our own, so the test does not depend on what a new
    // Wine prefix happens to hold yet.
    const std::string cls = "zj-test-" + std::to_string(std::random_device()());
    const std::string commandKey = cls + "\\shell\\open\\command";
    HKEY created;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CLASSES_ROOT, commandKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &created, nullptr),
              ERROR_SUCCESS);
    const char command[] = "C:\\Browser\\browser.exe \"%1\"";
    ASSERT_EQ(::RegSetValueExA(created, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command), sizeof command),
              ERROR_SUCCESS);
    ::RegCloseKey(created);

    {
        TRegistry reg(HKEY_CLASSES_ROOT);
        ASSERT_TRUE(reg.OpenKey(cls, false));
        ASSERT_TRUE(reg.OpenKey("shell", false));
        ASSERT_TRUE(reg.OpenKey("open", false));
        ASSERT_TRUE(reg.OpenKey("command", false));
        EXPECT_EQ(reg.ReadString(""), command);

        const std::string missing = "zj-missing-" + std::to_string(std::random_device()());
        EXPECT_FALSE(reg.OpenKey("\\" + missing, false));
        EXPECT_FALSE(reg.OpenKey("\\" + cls + "\\shell\\" + missing, false));
        EXPECT_EQ(reg.CurrentPath(), commandKey);
        for (const std::string& key : {missing, cls + "\\shell\\" + missing}) {
            HKEY opened;
            EXPECT_NE(::RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened), ERROR_SUCCESS) << key;
        }
    }
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, cls.c_str());
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
