// The file store: its file, what survives a write, damaged and unwritable
// stores, and several writers at once.

#include "registry.h"
#include "registry_backend.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zj;
namespace fs = std::filesystem;

namespace {

const std::string FontKey = "Software\\Zorvane\\Java Editor\\Display\\Font";

class FileStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("zj_regstore_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        fs::permissions(dir, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec
                                 | fs::perms::group_read | fs::perms::others_read);
        ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        file = (dir / "zorvane-java-editor" / "registry.reg").string();
    }
    void TearDown() override
    {
        SetClassesRootSource(nullptr);
        ::unsetenv("XDG_CONFIG_HOME");
        std::error_code ec;
        fs::permissions(dir / "zorvane-java-editor", fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }

    void Put(const std::string& text)
    {
        fs::create_directories(fs::path(file).parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    std::string Get() const
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // Runs fn in a child process, as nobody when unprivileged; its exit
    // status says whether fn returned true.
    static pid_t Spawn(const std::function<bool()>& fn, bool unprivileged = false)
    {
        pid_t pid = ::fork();
        if (pid != 0)
            return pid;
        bool ok = !unprivileged || ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0);
        try {
            ok = ok && fn();
        } catch (...) {
            ok = false;
        }
        ::_exit(ok ? 0 : 1);
    }
    static bool Succeeded(pid_t pid)
    {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    fs::path dir;
    std::string file;
};

} // namespace

TEST_F(FileStore, WritesRegistryExportSyntax)
{
    EXPECT_EQ(RegistryFileName(), file);
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("Software", false));
    EXPECT_FALSE(fs::exists(file)) << "looking creates nothing";
    for (const char* key : {"Software", "Zorvane", "Java Editor", "Display", "Font"})
        ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString("FontName", "Courier");
    reg.WriteInteger("FontSize", 8);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Zorvane\\Java Editor\\JavaCompiler", true));
    reg.WriteString("", "C:\\jdk\\bin\\javac.exe \"-g\"");
    ASSERT_TRUE(reg.OpenKey("\\Software\\Zorvane\\Java Editor\\Types", true));
    auto key = OpenRegistryKey(HKEY_CURRENT_USER, nullptr, "Software\\Zorvane\\Java Editor\\Types", false);
    ASSERT_TRUE(key);
    key->Set("Expand", {REGT_EXPAND_SZ, std::string("%A%\0", 4)});
    key->Set("Binary", {REGT_BINARY, "\x01\xff"});
    key->Set("Lines", {REGT_SZ, std::string("a\nb\0", 4)});
    key->Set("Qword", {11, std::string(8, '\0')});

    EXPECT_EQ(Get(), "REGEDIT4\n"
                     "\n"
                     "[HKEY_CURRENT_USER\\Software]\n"
                     "\n"
                     "[HKEY_CURRENT_USER\\Software\\Zorvane]\n"
                     "\n"
                     "[HKEY_CURRENT_USER\\Software\\Zorvane\\Java Editor]\n"
                     "\n"
                     "[HKEY_CURRENT_USER\\Software\\Zorvane\\Java Editor\\Display]\n"
                     "\n"
                     "[HKEY_CURRENT_USER\\Software\\Zorvane\\Java Editor\\Display\\Font]\n"
                     "\"FontName\"=\"Courier\"\n"
                     "\"FontSize\"=dword:00000008\n"
                     "\n"
                     "[HKEY_CURRENT_USER\\Software\\Zorvane\\Java Editor\\JavaCompiler]\n"
                     "@=\"C:\\\\jdk\\\\bin\\\\javac.exe \\\"-g\\\"\"\n"
                     "\n"
                     "[HKEY_CURRENT_USER\\Software\\Zorvane\\Java Editor\\Types]\n"
                     "\"Expand\"=hex(2):25,41,25,00\n"
                     "\"Binary\"=hex:01,ff\n"
                     "\"Lines\"=hex(1):61,0a,62,00\n"
                     "\"Qword\"=hex(b):00,00,00,00,00,00,00,00\n"
                     "\n");
    ASSERT_TRUE(reg.OpenKey("", false));
    EXPECT_EQ(reg.ReadString("Lines"), "a\nb");
}

TEST_F(FileStore, ReadsExportsWrittenElsewhereAndKeepsWhatItDoesNotKnow)
{
    const std::string original
        = "\xEF\xBB\xBFREGEDIT4\r\n"
          "; kept as written\r\n"
          "\r\n"
          "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
          "\"Keep\"=\"me\"\r\n"
          "\r\n"
          "[hkey_current_user\\SOFTWARE\\zorvane\\java editor\\display\\font]\r\n"
          "\"FONTNAME\" = \"Old\"\r\n"
          "\"Extra\"=hex(7):61,00,\\\r\n"
          "  00\r\n"
          "\"FontSize\"=DWORD:0000000A\r\n"
          "; a note\r\n"
          "\r\n"
          "[HKEY_CURRENT_USER\\Software\\Zorvane\\Java Editor\\Display\\Font]\r\n"
          "\"FontName\"=\"Lucida\"\r\n"
          "\r\n"
          "[HKEY_CURRENT_USER\\Software\\Unrelated]\r\n"
          "@=\"x\"";
    Put(original);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(FontKey, false));
    EXPECT_EQ(reg.ReadString("FontName"), "Lucida") << "the last definition wins";
    EXPECT_EQ(reg.ReadInteger("FontSize"), 10);
    EXPECT_THROW(reg.ReadString("FontSize"), ERegistryException) << "types are kept";
    EXPECT_THROW(reg.ReadString("Extra"), ERegistryException);

    struct stat before {}, after {};
    ::stat(file.c_str(), &before);
    reg.WriteString("FontName", "Lucida");
    ::stat(file.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino) << "an unchanged value is not written again";

    reg.WriteInteger("FontSize", 12);
    reg.WriteString("Added", "new");
    ASSERT_TRUE(reg.OpenKey("\\Software\\Zorvane\\Java Editor\\JavaCompiler", true));
    reg.WriteString("", "javac");
    EXPECT_EQ(Get(), "\xEF\xBB\xBFREGEDIT4\r\n"
                     "; kept as written\r\n"
                     "\r\n"
                     "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
                     "\"Keep\"=\"me\"\r\n"
                     "\r\n"
                     "[hkey_current_user\\SOFTWARE\\zorvane\\java editor\\display\\font]\r\n"
                     "\"FONTNAME\" = \"Old\"\r\n"
                     "\"Extra\"=hex(7):61,00,\\\r\n"
                     "  00\r\n"
                     "\"FontSize\"=dword:0000000c\r\n"
                     "; a note\r\n"
                     "\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Zorvane\\Java Editor\\Display\\Font]\r\n"
                     "\"FontName\"=\"Lucida\"\r\n"
                     "\"Added\"=\"new\"\r\n"
                     "\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Zorvane\\Java Editor\\JavaCompiler]\r\n"
                     "@=\"javac\"\r\n"
                     "\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Unrelated]\r\n"
                     "@=\"x\"\r\n");
}

namespace {

struct Damage {
    const char* what;
    std::string text;
    int line;
};

[[maybe_unused]] void PrintTo(const Damage& damage, std::ostream* out)
{
    *out << damage.what;
}

} // namespace

class DamagedStore : public FileStore, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedStore, IsLeftByteForByteWithAnErrorNamingFileAndLine)
{
    const Damage& damage = GetParam();
    Put(damage.text);
    auto expectError = [&](const std::function<void()>& fn) {
        try {
            fn();
            ADD_FAILURE() << "no error";
        } catch (const ERegistryFileError& e) {
            EXPECT_EQ(e.FileName(), file);
            EXPECT_EQ(e.Line(), damage.line);
            const std::string start = "The registry file '" + file + "' is damaged at line "
                                      + std::to_string(damage.line) + ": ";
            EXPECT_EQ(std::string(e.what()).substr(0, start.size()), start) << e.what();
        }
    };
    TRegistry reg;
    expectError([&] { reg.OpenKey(FontKey, true); });
    expectError([&] { reg.OpenKey("Software", false); });
    EXPECT_FALSE(reg.HasCurrentKey());
    EXPECT_TRUE(Get() == damage.text);

    // Damaged while a key is open.
    Put("REGEDIT4\n");
    ASSERT_TRUE(reg.OpenKey(FontKey, true));
    Put(damage.text);
    expectError([&] { reg.WriteString("FontName", "Courier"); });
    expectError([&] { reg.ReadString("FontName"); });
    EXPECT_TRUE(Get() == damage.text);
    for (const auto& entry : fs::directory_iterator(fs::path(file).parent_path()))
        EXPECT_TRUE(entry.path() == file || entry.path() == file + ".lock") << entry.path();
}

const std::string Key = "[HKEY_CURRENT_USER\\Software\\Zorvane\\Java Editor\\Display\\Font]\n";

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedStore,
    ::testing::Values(
        Damage{"TruncatedString", "REGEDIT4\n\n" + Key + "\"FontName\"=\"Cour", 4},
        Damage{"TruncatedKey", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Soft", 3},
        Damage{"TruncatedBytes", "REGEDIT4\n\n" + Key + "\"B\"=hex:01,02,\\\n", 4},
        Damage{"TruncatedDword", "REGEDIT4\n\n" + Key + "\"FontSize\"=dword:0000", 4},
        Damage{"BinaryJunk", "REGEDIT4\n\n" + Key + "\"FontSize\"=dword:00000008\n" + std::string("\0\x01\xff\xfe", 4) + "\n", 5},
        Damage{"UnterminatedString", "REGEDIT4\n\n" + Key + "\"FontName\"=\"Courier\n\"FontSize\"=dword:00000008\n", 4},
        Damage{"HugeLine", "REGEDIT4\n\n" + std::string(8 << 20, 'x') + "\n" + Key, 3},
        Damage{"OtherHeader", "Windows Registry Editor Version 5.00\n\n" + Key, 1},
        Damage{"ValueBeforeKey", "REGEDIT4\n\"FontName\"=\"Courier\"\n", 2},
        Damage{"SingleBackslash", "REGEDIT4\n" + Key + "@=\"C:\\jdk\"\n", 3}),
    [](const ::testing::TestParamInfo<Damage>& damage) { return std::string(damage.param.what); });

TEST_F(FileStore, WritesAfterEveryKindOfLineEndReadBackAndLeaveNothingBehind)
{
    const std::string font = "[HKEY_CURRENT_USER\\Software\\Zorvane\\Java Editor\\Display\\Font]";
    const std::string name = "\"FontName\"=\"Courier\"";
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"CR LF, the last line ending in a lone CR", "REGEDIT4\r\n\r\n" + font + "\r\n" + name + "\r"},
        {"LF", "REGEDIT4\n\n" + font + "\n" + name + "\n"},
        {"lone CR", "REGEDIT4\r\r" + font + "\r" + name + "\r"},
        {"none at the end", "REGEDIT4\r\n\r\n" + font + "\r\n" + name},
        {"LF, the last line ending in a lone CR", "REGEDIT4\n\n" + font + "\n" + name + "\r"},
        {"mixed", "REGEDIT4\r\n; note\n" + font + "\r" + name + "\r\n\n; end\r"},
        {"lone CR before an LF blank line", "REGEDIT4\r" + font + "\r" + name + "\r\n\n"},
    };
    pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const fs::path folder = fs::path(file).parent_path();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put(c.text);
        // A temporary file of a save that was killed.
        std::ofstream(folder / (".zjsave-" + std::to_string(ended) + "-Ab12Cd")) << "partial";
        {
            TRegistry reg;
            ASSERT_TRUE(reg.OpenKey(FontKey, false));
            EXPECT_EQ(reg.ReadString("FontName"), "Courier");
            reg.WriteInteger("FontSize", 8);
            reg.WriteString("FontName", "Lucida");
            ASSERT_TRUE(reg.OpenKey("\\Software\\Zorvane\\Java Editor\\JavaCompiler", true));
            reg.WriteString("", "javac");
        }
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(FontKey, false));
        EXPECT_EQ(reg.ReadInteger("FontSize"), 8);
        EXPECT_EQ(reg.ReadString("FontName"), "Lucida");
        ASSERT_TRUE(reg.OpenKey("\\Software\\Zorvane\\Java Editor\\JavaCompiler", false));
        EXPECT_EQ(reg.ReadString(""), "javac");
        for (const char* comment : {"; note", "; end"})
            EXPECT_EQ(c.text.find(comment) == std::string::npos, Get().find(comment) == std::string::npos);
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_TRUE(entry.path() == file || entry.path() == file + ".lock") << entry.path();
    }

    // The new value goes after the lone CR, which stays as it is.
    Put(cases[0].text);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(FontKey, false));
    reg.WriteInteger("FontSize", 8);
    EXPECT_EQ(Get(), cases[0].text + "\"FontSize\"=dword:00000008\r\n");
}

TEST_F(FileStore, TwoWritersAtOnceLoseNothing)
{
    Put("REGEDIT4\n");
    auto writer = [](std::string who) {
        for (int i = 0; i < 40; ++i) {
            // A fresh accessor each time, as the program makes one per store.
            TRegistry reg;
            if (!reg.OpenKey(FontKey + "\\" + who + "\\" + std::to_string(i), true))
                return false;
            reg.WriteInteger("Value", i);
            reg.OpenKey("\\" + FontKey, false);
            reg.WriteInteger(who + std::to_string(i), i);
        }
        return true;
    };
    pid_t first = Spawn([&] { return writer("A"); });
    pid_t second = Spawn([&] { return writer("B"); });
    EXPECT_TRUE(Succeeded(first));
    EXPECT_TRUE(Succeeded(second));
    TRegistry reg;
    for (std::string who : {"A", "B"})
        for (int i = 0; i < 40; ++i) {
            ASSERT_TRUE(reg.OpenKey("\\" + FontKey, false));
            EXPECT_EQ(reg.ReadInteger(who + std::to_string(i)), i) << who << i;
            ASSERT_TRUE(reg.OpenKey(who + "\\" + std::to_string(i), false)) << who << i;
            EXPECT_EQ(reg.ReadInteger("Value"), i);
        }
}

TEST_F(FileStore, AStoreThatCannotBeWrittenRaisesAClearError)
{
    // A file where the folder should be stops even root.
    std::ofstream(dir / "zorvane-java-editor") << "in the way";
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("Software", false));
    try {
        reg.OpenKey("Software", true);
        ADD_FAILURE() << "no error";
    } catch (const ERegistryFileError& e) {
        EXPECT_EQ(e.Line(), 0);
        const std::string start = "Cannot create the folder of the registry file '" + file + "': ";
        EXPECT_EQ(std::string(e.what()).substr(0, start.size()), start) << e.what();
    }
    EXPECT_FALSE(reg.HasCurrentKey());
    fs::remove(dir / "zorvane-java-editor");

    // A read-only folder: reading goes on, writing fails and changes nothing.
    const std::string stored = "REGEDIT4\n\n" + Key + "\"FontName\"=\"Courier\"\n";
    Put(stored);
    ::chmod(file.c_str(), 0444);
    ::chmod(fs::path(file).parent_path().c_str(), 0555);
    EXPECT_TRUE(Succeeded(Spawn(
        [&] {
            TRegistry writer;
            if (!writer.OpenKey(FontKey, false) || writer.ReadString("FontName") != "Courier")
                return false;
            try {
                writer.WriteString("FontName", "Other");
            } catch (const ERegistryFileError& e) {
                return std::string(e.what()).find("Cannot lock the registry file '" + file + "': ") == 0;
            }
            return false;
        },
        true)));
    EXPECT_EQ(Get(), stored);
}

TEST_F(FileStore, ClassesRootIsReadOnly)
{
    const std::string stored = "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\.html]\n@=\"htmlfile\"\n\n"
                               "[HKEY_CLASSES_ROOT\\htmlfile\\shell\\open\\command]\n@=\"browser \\\"%1\\\"\"\n";
    Put(stored);
    TRegistry reg(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(reg.OpenKey(".html", false));
    EXPECT_EQ(reg.ReadString(""), "htmlfile");
    ASSERT_TRUE(reg.OpenKey("\\htmlfile", true));
    ASSERT_TRUE(reg.OpenKey("shell\\open\\command", false));
    EXPECT_EQ(reg.ReadString(""), "browser \"%1\"");
    EXPECT_FALSE(reg.OpenKey("\\.htm", true));
    EXPECT_THROW(reg.WriteString("", "x"), ERegistryException);

    // Keys the file does not hold are asked of the desktop; the file comes first.
    struct Desktop : TClassesRootSource {
        bool KeyExists(const std::string& path) override { return path == ".xyz"; }
        std::optional<TRegValue> Value(const std::string&, const std::string&) override
        {
            return TRegValue{REGT_SZ, std::string("desktop\0", 8)};
        }
    };
    SetClassesRootSource(std::make_shared<Desktop>());
    ASSERT_TRUE(reg.OpenKey("\\.xyz", false));
    EXPECT_EQ(reg.ReadString(""), "desktop");
    ASSERT_TRUE(reg.OpenKey("\\.html", false));
    EXPECT_EQ(reg.ReadString(""), "htmlfile");
    EXPECT_FALSE(reg.OpenKey("\\.abc", true));
    EXPECT_EQ(Get(), stored);
}
