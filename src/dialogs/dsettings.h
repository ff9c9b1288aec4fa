#pragma once

#include "ui_dsettings.h"

#include <QDialog>

#include <memory>

namespace zj {

class TOpenDialog;

// Lets the user choose the editor font and the compiler. The caller takes the
// values over when the dialog closes with OK.
class TdlgSettings : public QDialog, public Ui::TdlgSettings {
    Q_OBJECT
public:
    // Opens on the current editor font; the compiler comes from JavaCompilerPath.
    TdlgSettings(QWidget* owner, const QString& fontName, int fontSize);
    ~TdlgSettings() override;

    std::unique_ptr<TOpenDialog> dlgOpen;

    void FormCreate(const QString& fontName, int fontSize);
    void cmbFontNameChange();
    void spnFontSizeChange();
    void FormCloseQuery(bool& canClose);
    void cmdBrowseJavacClick();

    // Every way of closing (OK, Cancel, Esc, the close box) passes here.
    void done(int result) override;
};

} // namespace zj
