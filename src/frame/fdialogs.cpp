// The settings dialog and the about box, opened from the menus.
#include "fmain.h"

#include "dabout.h"
#include "dsettings.h"
#include "editorfont.h"
#include "filedialogs.h"
#include "zidarodadefs.h"

#include <memory>

namespace zj {

void TfrmMain::mnuEditSettingsClick()
{
    // Freed on every way out, errors included.
    auto dialog = std::make_unique<TdlgSettings>(this, Font.family(), FontSize(Font, PixelsPerInch));
    if (dialog->exec() != QDialog::Accepted)
        return;
    SetEditorFontName(dialog->cmbFontName->currentIndex() >= 0 ? dialog->cmbFontName->currentText() : QString());
    SetFontSize(Font, dialog->spnFontSize->Value(), PixelsPerInch);
    JavaCompilerPath = FileNameFromQt(dialog->edtJavac->text());
    SaveSettings();
}

void TfrmMain::mnuHelpAboutClick()
{
    TdlgAbout dialog;
    dialog.exec();
}

} // namespace zj
