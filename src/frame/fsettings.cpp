// The editor font and the compiler command, kept in the registry between runs.
#include "fmain.h"

#include "cedit.h"
#include "editorfont.h"
#include "filedialogs.h"
#include "msgdialogs.h"
#include "registry.h"
#include "zidarodadefs.h"

#include <QDir>
#include <QStandardPaths>

namespace zj {

namespace {

constexpr int MaxFontNameLength = 31;
// The longest values the settings can use, far beyond any font name or
// compiler path: a longer one is damage and is refused as it is read.
constexpr std::size_t MaxStoredFontName = 255;
constexpr std::size_t MaxStoredCompilerPath = 4096;

constexpr const char* FontKey = "\\Software\\Zorvane\\Java Editor\\Display\\Font";
constexpr const char* CompilerKey = "\\Software\\Zorvane\\Java Editor\\JavaCompiler";

void OpenFontKey(TRegistry& reg)
{
    OpenAppKey(reg);
    reg.OpenKey("Display", true);
    reg.OpenKey("Font", true);
}

// The compiler as the search path finds it, its folder made full; only
// absolute folders count, so that where the editor was started from does not.
std::string FindCompilerOnPath()
{
    QStringList folders;
    for (const QString& folder : qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(folder))
            folders << folder;
    if (folders.isEmpty())
        return {};
    return FileNameFromQt(QDir::toNativeSeparators(QStandardPaths::findExecutable(QStringLiteral("javac"), folders)));
}

} // namespace

void TfrmMain::SetEditorFontName(const QString& name)
{
    if (!name.isEmpty())
        Font.setFamily(name.left(MaxFontNameLength));
}

void TfrmMain::LoadSettings()
{
    // Everything is read before anything is written, so that a store that
    // cannot be written keeps none of its values from use.
    TRegistry reg(HKEY_CURRENT_USER);
    const bool fontKey = reg.OpenKey(FontKey, false);
    const bool hasName = fontKey && reg.ValueExists("FontName");
    const bool hasSize = fontKey && reg.ValueExists("FontSize");
    if (hasName)
        SetEditorFontName(QString::fromStdString(reg.ReadString("FontName", MaxStoredFontName)));
    if (hasSize)
        SetFontSize(Font, reg.ReadInteger("FontSize"), PixelsPerInch);
    JavaCompilerPath = reg.OpenKey(CompilerKey, false) ? reg.ReadString("", MaxStoredCompilerPath) : std::string();
    if (!hasName || !hasSize) {
        // The missing ones are written from the frame's font, which they keep.
        try {
            OpenFontKey(reg);
            if (!hasName)
                reg.WriteString("FontName", Font.family().toStdString());
            if (!hasSize)
                reg.WriteInteger("FontSize", FontSize(Font, PixelsPerInch));
        } catch (const ERegistryFileError& error) {
            // A store that cannot be written; storing the settings says so.
            if (error.Line() != 0)
                throw;
        }
    }
}

void TfrmMain::StoreSettings()
{
    TRegistry reg(HKEY_CURRENT_USER);
    OpenFontKey(reg);
    const std::string fontName = Font.family().toStdString();
    // A missing value is written twice, as it always was: once as missing,
    // once as stored.
    if (!reg.ValueExists("FontName"))
        reg.WriteString("FontName", fontName);
    reg.WriteString("FontName", fontName);
    if (!reg.ValueExists("FontSize"))
        reg.WriteInteger("FontSize", FontSize(Font, PixelsPerInch));
    reg.WriteInteger("FontSize", FontSize(Font, PixelsPerInch));
    OpenAppKey(reg);
    reg.OpenKey("JavaCompiler", true);
    reg.WriteString("", JavaCompilerPath);
    reg.CloseKey();
}

void TfrmMain::ReadWriteSettings(bool save)
{
    if (save)
        StoreSettings();
    else
        LoadSettings();
    const QList<TcwEdit*> editors = EditorWindows();
    for (auto it = editors.rbegin(); it != editors.rend(); ++it)
        ApplyEditorFont(*it);
}

void TfrmMain::SaveSettings()
{
    ReadWriteSettings(true);
}

bool TfrmMain::EnsureCompiler()
{
    if (!JavaCompilerPath.empty())
        return true;
    const std::string found = FindCompilerOnPath();
    if (found.empty()) {
        ShowStatus(QStringLiteral("No Java compiler is set: choose one in Edit > Settings."));
        DefaultBeep();
        return false;
    }
    if (MessageDlg(QStringLiteral("No Java compiler is set. Use '%1'?").arg(FileNameToQt(found)),
                   {TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel}) != mrOk)
        return false;
    // As the settings dialog's OK stores it.
    JavaCompilerPath = found;
    SaveSettings();
    UpdateMenuItems();
    return true;
}

} // namespace zj
