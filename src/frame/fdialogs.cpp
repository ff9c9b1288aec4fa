// The settings dialog and the about box, opened from the menus.
#include "fmain.h"

#include "dabout.h"
#include "dsettings.h"
#include "editorfont.h"
#include "zidarodadefs.h"

#include <memory>

namespace zj {

void TfrmMain::mnuEditSettingsClick()
{
    // Freed on every way out, errors included.
    auto dialog = std::make_unique<TdlgSettings>(this, Font.family(), FontSize(Font, PixelsPerInch), JavaCompilerPath,
                                                 ShowCompileWindow);
    if (dialog->exec() != QDialog::Accepted)
        return;
    SetEditorFontName(dialog->FontName());
    SetFontSize(Font, dialog->FontSize(), PixelsPerInch);
    JavaCompilerPath = dialog->CompilerPath();
    SaveSettings();
}

void TfrmMain::mnuHelpAboutClick()
{
    TdlgAbout dialog;
    // Owned by the application, shown on the frame's screen.
    dialog.setScreen(screen());
    dialog.exec();
}

} // namespace zj
