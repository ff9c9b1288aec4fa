// The editor font and the compiler command, kept in the registry between runs.
#include "fmain.h"

#include "cedit.h"
#include "editorfont.h"
#include "registry.h"
#include "zidarodadefs.h"

namespace zj {

namespace {
constexpr int MaxFontNameLength = 31;
}

void TfrmMain::SetEditorFontName(const QString& name)
{
    if (!name.isEmpty())
        Font.setFamily(name.left(MaxFontNameLength));
}

void TfrmMain::ReadWriteSettings(bool save)
{
    {
        // Released on every way out, errors included.
        TRegistry reg(HKEY_CURRENT_USER);
        OpenAppKey(reg);
        reg.OpenKey("Display", true);
        reg.OpenKey("Font", true);

        const std::string fontName = Font.family().toStdString();
        if (!reg.ValueExists("FontName"))
            reg.WriteString("FontName", fontName);
        if (save)
            reg.WriteString("FontName", fontName);
        else
            SetEditorFontName(QString::fromStdString(reg.ReadString("FontName")));

        if (!reg.ValueExists("FontSize"))
            reg.WriteInteger("FontSize", FontSize(Font, PixelsPerInch));
        if (save)
            reg.WriteInteger("FontSize", FontSize(Font, PixelsPerInch));
        else
            SetFontSize(Font, reg.ReadInteger("FontSize"), PixelsPerInch);

        OpenAppKey(reg);
        reg.OpenKey("JavaCompiler", true);
        if (save)
            reg.WriteString("", JavaCompilerPath);
        else
            JavaCompilerPath = reg.ReadString("");
        reg.CloseKey();
    }
    const QList<TcwEdit*> editors = EditorWindows();
    for (auto it = editors.rbegin(); it != editors.rend(); ++it)
        ApplyEditorFont(*it);
}

void TfrmMain::SaveSettings()
{
    ReadWriteSettings(true);
}

} // namespace zj
