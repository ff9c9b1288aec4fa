// Value-level behaviour of TRegistry. The same cases run against the file
// store here and against the real registry (under Wine) in the Windows build.

#include "registry.h"
#include "registry_backend.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace zj;

namespace {

class RegistryValues : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string unique = std::to_string(std::random_device()());
        base = "Software\\Zorvane\\Test\\" + unique;
#ifndef _WIN32
        dir = std::filesystem::temp_directory_path() / ("zj_regvalues_" + unique);
        std::filesystem::create_directories(dir);
        ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
#endif
        ASSERT_TRUE(reg.OpenKey(base, true));
    }

    void TearDown() override
    {
        reg.CloseKey();
#ifdef _WIN32
        ::RegDeleteTreeA(HKEY_CURRENT_USER, base.c_str());
        ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Zorvane\\Test"); // fails while others use it
#else
        ::unsetenv("XDG_CONFIG_HOME");
        std::filesystem::remove_all(dir);
#endif
    }

    // Values of any type, as another program would store them.
    void Put(const std::string& name, std::uint32_t type, const std::string& data)
    {
        auto key = OpenRegistryKey(HKEY_CURRENT_USER, nullptr, base, false);
        ASSERT_TRUE(key && key->Set(name, TRegValue{type, data}));
    }
    TRegValue Raw(const std::string& name)
    {
        TRegValue value;
        auto key = OpenRegistryKey(HKEY_CURRENT_USER, nullptr, base, false);
        EXPECT_TRUE(key && key->Get(name, value, value.Data.max_size()) == TRegKeyHandle::Query::Found);
        return value;
    }

    template <typename Fn>
    static std::string ErrorOf(Fn fn)
    {
        try {
            fn();
        } catch (const ERegistryException& e) {
            return e.what();
        }
        return "(no error)";
    }

    TRegistry reg;
    std::string base;
#ifndef _WIN32
    std::filesystem::path dir;
#endif
};

const std::string Nul(1, '\0');

} // namespace

TEST_F(RegistryValues, StringsAndIntegersRoundTrip)
{
    EXPECT_FALSE(reg.ValueExists("FontName"));
    reg.WriteString("FontName", "Courier New");
    reg.WriteString("Greeting", "Gr\xc3\xbc\xc3\x9f" "e \"quoted\" C:\\path\\");
    reg.WriteString("", "");
    reg.WriteString("Cut", std::string("before\0after", 12));
    EXPECT_TRUE(reg.ValueExists("FontName"));
    EXPECT_TRUE(reg.ValueExists(""));
    EXPECT_EQ(reg.ReadString("FontName"), "Courier New");
    EXPECT_EQ(reg.ReadString("fontname"), "Courier New") << "value names ignore case";
    EXPECT_EQ(reg.ReadString("Greeting"), "Gr\xc3\xbc\xc3\x9f" "e \"quoted\" C:\\path\\");
    EXPECT_EQ(reg.ReadString(""), "");
    EXPECT_EQ(reg.ReadString("Cut"), "before");
    EXPECT_EQ(Raw("FontName").Type, REGT_SZ);
    EXPECT_EQ(Raw("FontName").Data, "Courier New" + Nul);

    for (std::int32_t n : {8, 0, -1, INT_MIN, INT_MAX}) {
        reg.WriteInteger("FontSize", n);
        EXPECT_EQ(reg.ReadInteger("FontSize"), n);
    }
    EXPECT_EQ(Raw("FontSize").Type, REGT_DWORD);
    EXPECT_EQ(Raw("FontSize").Data, std::string("\xff\xff\xff\x7f", 4));
    Put("Ten", REGT_DWORD, std::string("\x0a\0\0\0", 4));
    EXPECT_EQ(reg.ReadInteger("Ten"), 10) << "DWORDs are little-endian";
}

TEST_F(RegistryValues, MissingValuesAndNoOpenKey)
{
    EXPECT_EQ(reg.ReadString("Nothing"), "");
    EXPECT_EQ(reg.ReadString(""), "");
    EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("FontSize"); }), "Failed to get data for 'FontSize'");
    EXPECT_FALSE(reg.ValueExists("Nothing"));

    reg.CloseKey();
    EXPECT_FALSE(reg.ValueExists("FontName"));
    EXPECT_EQ(reg.ReadString("FontName"), "");
    EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("FontSize"); }), "Failed to get data for 'FontSize'");
    EXPECT_EQ(ErrorOf([&] { reg.WriteString("FontName", "x"); }), "Failed to set data for 'FontName'");
    EXPECT_EQ(ErrorOf([&] { reg.WriteInteger("", 1); }), "Failed to set data for ''");
}

TEST_F(RegistryValues, StringReadsAcceptBothStringTypesUnexpanded)
{
    Put("Expand", REGT_EXPAND_SZ, "%HOME%\\bin" + Nul);
    Put("Embedded", REGT_SZ, std::string("ab\0cd\0", 6));
    Put("Unterminated", REGT_SZ, "abc");
    Put("EmptyDword", REGT_DWORD, "");
    Put("EmptyBinary", REGT_BINARY, "");
    EXPECT_EQ(reg.ReadString("Expand"), "%HOME%\\bin");
    EXPECT_EQ(reg.ReadString("Embedded"), "ab");
    EXPECT_EQ(reg.ReadString("Unterminated"), "abc");
    // Empty data carries no type worth checking.
    EXPECT_EQ(reg.ReadString("EmptyDword"), "");
    EXPECT_EQ(reg.ReadString("EmptyBinary"), "");
}

TEST_F(RegistryValues, WrongTypesRaiseTheRegistryErrors)
{
    reg.WriteInteger("FontName", 8);
    Put("", REGT_DWORD, std::string("\x01\0\0\0", 4));
    Put("Binary", REGT_BINARY, "\x01\x02");
    Put("Multi", REGT_MULTI_SZ, std::string("a\0\0", 3));
    EXPECT_EQ(ErrorOf([&] { reg.ReadString("FontName"); }), "Invalid data type for 'FontName'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadString(""); }), "Invalid data type for ''");
    EXPECT_EQ(ErrorOf([&] { reg.ReadString("Binary"); }), "Invalid data type for 'Binary'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadString("Multi"); }), "Invalid data type for 'Multi'");

    // Integers come only from DWORDs; what fits in four bytes is the wrong
    // type, anything longer cannot be fetched at all.
    for (const char* text : {"", "8", "abc"}) {
        reg.WriteString("FontSize", text);
        EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("FontSize"); }), "Invalid data type for 'FontSize'") << text;
    }
    for (const char* text : {"abcd", "twelve"}) {
        reg.WriteString("FontSize", text);
        EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("FontSize"); }), "Failed to get data for 'FontSize'") << text;
    }
    Put("Binary", REGT_BINARY, std::string("\x08\0\0\0", 4));
    EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Binary"); }), "Invalid data type for 'Binary'");
    Put("Binary", REGT_BINARY, std::string(8, '\0'));
    EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Binary"); }), "Failed to get data for 'Binary'");
}

TEST_F(RegistryValues, WritesReplaceValuesOfAnyType)
{
    reg.WriteString("FontSize", "twelve");
    reg.WriteInteger("FontSize", 12);
    EXPECT_EQ(reg.ReadInteger("FontSize"), 12);
    EXPECT_EQ(Raw("FontSize").Type, REGT_DWORD);

    Put("", REGT_EXPAND_SZ, "%JAVA_HOME%" + Nul);
    reg.WriteString("", "javac");
    EXPECT_EQ(Raw("").Type, REGT_SZ);
    EXPECT_EQ(reg.ReadString(""), "javac");

    Put("Binary", REGT_BINARY, "\x01\x02\x03\x04\x05");
    reg.WriteString("BINARY", "text");
    EXPECT_EQ(reg.ReadString("Binary"), "text");
}

TEST_F(RegistryValues, OpeningKeys)
{
    reg.WriteString("Here", "base");
    // A failed open leaves the key that was open.
    EXPECT_FALSE(reg.OpenKey("Missing", false));
    EXPECT_EQ(reg.CurrentPath(), base);
    EXPECT_EQ(reg.ReadString("Here"), "base");

    // Relative to the open key, several levels at once.
    ASSERT_TRUE(reg.OpenKey("Display\\Font", true));
    EXPECT_EQ(reg.CurrentPath(), base + "\\Display\\Font");
    reg.WriteString("FontName", "Courier");
    EXPECT_EQ(reg.ReadString("Here"), "");

    // A leading backslash starts at the root; names ignore case.
    ASSERT_TRUE(reg.OpenKey("\\" + base + "\\DISPLAY", false));
    EXPECT_FALSE(reg.ValueExists("FontName"));
    ASSERT_TRUE(reg.OpenKey("font", false));
    EXPECT_EQ(reg.ReadString("FontName"), "Courier");

    reg.CloseKey();
    EXPECT_FALSE(reg.OpenKey(base + "\\Display\\Missing", false));
    EXPECT_FALSE(reg.HasCurrentKey());
    ASSERT_TRUE(reg.OpenKey(base, false));
    EXPECT_EQ(reg.ReadString("Here"), "base");
}

#ifdef _WIN32
// Other Windows programs must find ordinary UTF-16 strings.
TEST_F(RegistryValues, StringsAreStoredAsUtf16)
{
    reg.WriteString("Name", "Gr\xc3\xbc\xc3\x9f" "e");
    wchar_t text[16] = {};
    DWORD size = sizeof text, type = 0;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, std::wstring(base.begin(), base.end()).c_str(), L"Name",
                             RRF_RT_ANY, &type, text, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(std::wstring(text), L"Gr\u00fc\u00dfe");
}
#endif
