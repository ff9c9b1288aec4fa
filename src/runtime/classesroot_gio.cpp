#include "classesroot_gio.h"

#include "cmdline.h"
#include "sysutils.h"

#include <gio/gio.h>

#include <vector>

namespace zj {

namespace {

// Stands for the file while the Exec line is parsed.
constexpr char FileMarker = '\x01';

// Quotes always, so that a file name with blanks stays one argument.
std::string QuoteAlways(std::string_view argument)
{
    std::string quoted = QuoteArgument(argument);
    if (quoted.front() == '"')
        return quoted;
    std::size_t trailing = 0;
    while (trailing < quoted.size() && quoted[quoted.size() - 1 - trailing] == '\\')
        ++trailing;
    return "\"" + quoted + std::string(trailing, '\\') + "\"";
}

std::string DoublePercents(std::string_view text)
{
    std::string result;
    for (char c : text) {
        result += c;
        if (c == '%')
            result += '%';
    }
    return result;
}

struct Association {
    std::string ClassName;
    std::string Command;
};

class DesktopSource : public TClassesRootSource {
public:
    bool KeyExists(const std::string& path) override
    {
        const std::optional<Association> found = Current();
        if (!found)
            return false;
        const std::string key = UpperCaseAscii(path);
        const std::string cls = UpperCaseAscii(found->ClassName);
        return key == ".HTML" || key == cls || key == cls + "\\SHELL" || key == cls + "\\SHELL\\OPEN"
               || key == cls + "\\SHELL\\OPEN\\COMMAND";
    }

    std::optional<TRegValue> Value(const std::string& path, const std::string& name) override
    {
        const std::optional<Association> found = Current();
        if (!found || !name.empty())
            return std::nullopt;
        const std::string key = UpperCaseAscii(path);
        if (key == ".HTML")
            return TRegValue{REGT_SZ, found->ClassName + '\0'};
        if (key == UpperCaseAscii(found->ClassName) + "\\SHELL\\OPEN\\COMMAND")
            return TRegValue{REGT_SZ, found->Command + '\0'};
        return std::nullopt;
    }

private:
    static std::optional<Association> Current()
    {
        GAppInfo* app = g_app_info_get_default_for_type("text/html", FALSE);
        if (!app)
            return std::nullopt;
        std::optional<Association> found;
        const char* id = g_app_info_get_id(app);
        const char* exec = g_app_info_get_commandline(app);
        if (exec) {
            if (std::optional<std::string> command = OpenCommandFromExec(exec))
                found = Association{id && *id ? id : "htmlfile", std::move(*command)};
        }
        g_object_unref(app);
        return found;
    }
};

} // namespace

std::shared_ptr<TClassesRootSource> DesktopClassesRoot()
{
    return std::make_shared<DesktopSource>();
}

std::optional<std::string> OpenCommandFromExec(std::string_view exec)
{
    if (exec.find(FileMarker) != std::string_view::npos || exec.find('\0') != std::string_view::npos)
        return std::nullopt;
    // Field codes are expanded before the line is parsed, as the desktop does.
    std::string expanded;
    bool hasFile = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] != '%' || i + 1 == exec.size()) {
            expanded += exec[i];
            continue;
        }
        const char code = exec[++i];
        if (code == '%') {
            expanded += '%';
        } else if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
            // One file is opened: later file codes have nothing left to take.
            if (!hasFile)
                expanded += FileMarker;
            hasFile = true;
        }
    }
    gint argc = 0;
    gchar** argv = nullptr;
    if (!g_shell_parse_argv(expanded.c_str(), &argc, &argv, nullptr))
        return std::nullopt;
    std::vector<std::string> args(argv, argv + argc);
    g_strfreev(argv);

    std::string& program = args.front();
    if (program.find_first_of("\"" + std::string(1, FileMarker)) != std::string::npos)
        return std::nullopt;
    if (gchar* found = g_find_program_in_path(program.c_str())) {
        program = found;
        g_free(found);
    }
    std::string command = DoublePercents(QuoteProgram(program));
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::size_t marker = args[i].find(FileMarker);
        if (marker == std::string::npos) {
            command += " " + DoublePercents(QuoteArgument(args[i]));
            continue;
        }
        std::string quoted = DoublePercents(QuoteAlways(args[i]));
        quoted.replace(quoted.find(FileMarker), 1, "%1");
        command += " " + quoted;
    }
    if (!hasFile)
        command += " \"%1\"";
    return command;
}

} // namespace zj
