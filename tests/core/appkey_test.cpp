#include "zidarodadefs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace zj;

// On Windows this opens the real key, which the program creates anyway.
TEST(OpenAppKey, CreatesTheKeysStartingFromTheRoot)
{
#ifndef _WIN32
    const auto dir = std::filesystem::temp_directory_path() / "zj_appkey_test";
    std::filesystem::remove_all(dir);
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
#endif
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software", true));
    EXPECT_TRUE(OpenAppKey(reg));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Zorvane\\Java Editor");
    ASSERT_TRUE(reg.OpenKey("Display", true));
    EXPECT_TRUE(OpenAppKey(reg));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Zorvane\\Java Editor");
    EXPECT_TRUE(TRegistry().OpenKey("Software\\Zorvane\\Java Editor\\Display", false));
#ifndef _WIN32
    // Nothing can be created under the classes root here, so the last open fails.
    TRegistry classes(HKEY_CLASSES_ROOT);
    EXPECT_FALSE(OpenAppKey(classes));
    EXPECT_FALSE(classes.HasCurrentKey());
    std::filesystem::remove_all(dir);
#endif
}
