// The browser command against associations made by the tests. A process of its
// own: the desktop library reads the XDG folders once, so they are set first.
#include "cedit.h"
#include "classesroot_gio.h"
#include "fmain.h"
#include "guitest.h"
#include "registry.h"
#include "richedit.h"
#include "zidarodadefs.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace zj;
namespace fs = std::filesystem;

namespace {

struct Desktop {
    fs::path root = fs::temp_directory_path() / ("zj_desktop_" + std::to_string(::getpid()));
    fs::path apps = root / "data" / "applications";
    std::string browser = (root / "bin" / "zjbrowser").string();
    std::shared_ptr<TClassesRootSource> source = DesktopClassesRoot();

    Desktop()
    {
        fs::create_directories(apps);
        fs::create_directories(root / "bin");
        ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
        ::setenv("XDG_DATA_DIRS", (root / "none").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (root / "none").c_str(), 1);
        ::unsetenv("XDG_CURRENT_DESKTOP");
        // The desktop skips an entry whose program is not on PATH.
        ::setenv("PATH", ((root / "bin").string() + ":" + std::getenv("PATH")).c_str(), 1);
        source->KeyExists(".html");
    }
    ~Desktop() { fs::remove_all(root); }
} desktop;

class Browser : public GuiTest {
protected:
    void SetUp() override
    {
        SetClassesRootSource(desktop.source);
        GuiTest::SetUp();
    }
    void TearDown() override
    {
        GuiTest::TearDown();
        SetClassesRootSource(nullptr);
    }

    // A browser that writes its arguments, one a line, to dir/args.
    std::string Script(const std::string& path)
    {
        Put(path, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + Path("part") + "' && mv '" + Path("part") + "' '"
                      + Path("args") + "'\n");
        ::chmod(path.c_str(), 0755);
        return path;
    }
    std::string Recorded()
    {
        for (int i = 0; i < 200 && !fs::exists(Path("args")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return Get(Path("args"));
    }
    // The desktop library notices changed files a moment later.
    void Associate(bool on)
    {
        fs::remove(desktop.apps / "mimeapps.list");
        if (on) {
            Script(desktop.browser);
            Put((desktop.apps / "zjbrowser.desktop").string(),
                "[Desktop Entry]\nType=Application\nName=Browser\nExec=zjbrowser %u\n");
            Put((desktop.apps / "mimeapps.list").string(), "[Default Applications]\ntext/html=zjbrowser.desktop\n");
        }
        const auto current = [] { return desktop.source->Value(".html", "").has_value(); };
        for (int i = 0; i < 200 && current() != on; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(current(), on);
    }
    // Makes a desktop entry with the Exec line exec the default for HTML,
    // under a name of its own, so the change shows as a new class name.
    void Associate(const std::string& id, const std::string& exec)
    {
        Put((desktop.apps / (id + ".desktop")).string(),
            "[Desktop Entry]\nType=Application\nName=Browser\nExec=" + exec + "\n");
        Put((desktop.apps / "mimeapps.list").string(), "[Default Applications]\ntext/html=" + id + ".desktop\n");
        const auto current = [&id] {
            const std::optional<TRegValue> cls = desktop.source->Value(".html", "");
            return cls && cls->Data == id + ".desktop" + '\0';
        };
        for (int i = 0; i < 200 && !current(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(current());
    }
    // The editor's own registry file, with the open command for .html given there.
    static void OpenCommand(const std::string& command, bool withCommandKey = true)
    {
        std::string escaped;
        for (char c : command)
            escaped += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
        fs::create_directories(fs::path(RegistryFileName()).parent_path());
        Put(RegistryFileName(), "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\.html]\n@=\"zjother\"\n\n"
                                "[HKEY_CLASSES_ROOT\\zjother\\shell\\open]\n\n"
                                + (withCommandKey ? "[HKEY_CLASSES_ROOT\\zjother\\shell\\open\\command]\n@=\""
                                                        + escaped + "\"\n"
                                                  : std::string()));
    }
    TcwEdit* SavedDocument(const std::string& name) { return OpenSaved(name, "<p>"); }
};

} // namespace

TEST_F(Browser, TheDesktopsAssociationFoundAtStartUpOpensTheSavedDocument)
{
    Associate(false);
    Restart();
    Type(NewEditor(dtHtml), "<p>");
    EXPECT_FALSE(Button("cmdBrowser")->isEnabled());
    frame->cmdBrowserClick();
    EXPECT_TRUE(asked.empty());

    Associate(true);
    Restart();
    EXPECT_EQ(frame->BrowserCommand, desktop.browser + " \"%s\"");
    EXPECT_EQ(BrowserExe, desktop.browser + " ");
    fs::create_directory(dir / "my work");
    const std::string name = Path("my work/say \"hi\"; $(touch pwned) 100%.html");
    TcwEdit* editor = SavedDocument("my work/say \"hi\"; $(touch pwned) 100%.html");
    EXPECT_TRUE(Button("cmdBrowser")->isEnabled());
    Type(editor, "x");
    answers = {mrCancel, mrOk};
    Button("cmdBrowser")->click();
    EXPECT_TRUE(editor->memText->Modified());
    EXPECT_FALSE(fs::exists(Path("args")));
    StatusBar()->showMessage("before");
    Button("cmdBrowser")->click();
    EXPECT_EQ(Recorded(), name + "\n");
    EXPECT_EQ(Get(name), "x<p>");
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].Text, QString::fromStdString("'" + name + "' has been changed. The document must be saved "
                                                    "before it can be loaded into your browser."));
    EXPECT_EQ(Status(), "before");
    EXPECT_EQ(beeps, 0);
    EXPECT_FALSE(fs::exists("pwned"));
}

TEST_F(Browser, TheRegistryFileComesFirstAndFailuresStartNothing)
{
    Associate(true);
    const std::string other = Script(Path("other"));
    OpenCommand(other + " %1");
    Restart();
    EXPECT_EQ(BrowserExe, other);
    SavedDocument("notes.txt");
    Button("cmdBrowser")->click();
    EXPECT_EQ(Recorded(), Path("notes.txt") + "\n");

    // A second "%1" has no argument to fill it.
    fs::remove(Path("args"));
    OpenCommand(other + " \"%1\" \"%1\"");
    answers = {mrOk};
    Button("cmdBrowser")->click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, QString::fromStdString("No argument for format '" + other + " \"%s\" \"%1\"'."));

    // The browser has been removed since start-up.
    OpenCommand(other + " %1");
    fs::remove(other);
    Button("cmdBrowser")->click();
    EXPECT_EQ(Status(), "Couldn't start web browser.");
    EXPECT_EQ(beeps, 1);
    frame->UpdateMenuItems();
    EXPECT_FALSE(Button("cmdBrowser")->isEnabled());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(Path("args")));
}

TEST_F(Browser, ACommandWithoutAPlaceForTheFileStartsNothing)
{
    const std::string other = Script(Path("other"));
    OpenCommand(other + " --home");
    Restart();
    EXPECT_EQ(frame->BrowserCommand, other + " --home");
    SavedDocument("page.html");
    EXPECT_FALSE(Button("cmdBrowser")->isEnabled());
    frame->cmdBrowserClick();
    EXPECT_EQ(Status(), "Couldn't start web browser.");

    // The command key has gone since the last lookup: its old command is not used.
    OpenCommand(other + " %1");
    ASSERT_TRUE(frame->FindBrowser());
    OpenCommand("", false);
    StatusBar()->clearMessage();
    EXPECT_TRUE(frame->FindBrowser());
    EXPECT_EQ(frame->BrowserCommand, other + " %s");
    frame->cmdBrowserClick();
    EXPECT_EQ(Status(), "Couldn't start web browser.");
    EXPECT_EQ(beeps, 2);
    EXPECT_TRUE(asked.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(Path("args")));
}

// Associations put options, quotes or a launcher between the program and the
// file: the button then follows the command's program, and the browser gets
// every argument of the command.
TEST_F(Browser, CommandsWithArgumentsBeforeTheFileEnableTheButton)
{
    fs::create_directories(dir / "Program Files" / "Browser");
    const std::string program = Script(Path("Program Files/Browser/browser"));
    OpenCommand("\"" + program + "\" -osint -url \"%1\"");
    Restart();
    EXPECT_EQ(BrowserExe, program);
    SavedDocument("page.html");
    EXPECT_TRUE(Button("cmdBrowser")->isEnabled());
    Button("cmdBrowser")->click();
    EXPECT_EQ(Recorded(), "-osint\n-url\n" + Path("page.html") + "\n");

    // The step before the program is kept where it names a file.
    OpenCommand(program + " %1");
    ASSERT_TRUE(frame->FindBrowser());
    EXPECT_EQ(BrowserExe, program) << "not the first word, which ends at the blank";
}

TEST_F(Browser, DesktopEntriesKeepTheirArgumentsAndLaunchers)
{
    Script(desktop.browser);
    const std::string flatpak = Script((desktop.root / "bin" / "flatpak").string());
    const std::string hint = (desktop.apps / "zjenv.desktop").string();
    struct Case {
        std::string id, exec, program, args;
    };
    const Case cases[] = {
        {"zjenv", "env BAMF_DESKTOP_FILE_HINT=" + hint + " zjbrowser %u", "env", "\n"},
        {"zjflatpak", "flatpak run --branch=stable --command=zjbrowser org.example.Browser @@u %u @@", flatpak,
         "run\n--branch=stable\n--command=zjbrowser\norg.example.Browser\n@@u\n\n@@\n"},
        {"zjwindow", "zjbrowser --new-window %u", desktop.browser, "--new-window\n\n"},
    };
    SavedDocument("page.html");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exec);
        Associate(c.id, c.exec);
        ASSERT_TRUE(frame->FindBrowser());
        frame->UpdateMenuItems();
        if (c.program == "env")
            EXPECT_EQ(fs::path(BrowserExe).filename().string(), "env");
        else
            EXPECT_EQ(BrowserExe, c.program);
        EXPECT_TRUE(Button("cmdBrowser")->isEnabled());
        fs::remove(Path("args"));
        frame->cmdBrowserClick();
        // Each blank line of the expected arguments stands for the file.
        std::string args = c.args;
        args.insert(args.find("\n\n") + 1, Path("page.html"));
        EXPECT_EQ(Recorded(), args);
    }
}
