#pragma once

#include <QDialog>

#include <memory>
#include <string>

namespace Ui {
class TdlgSettings;
}

namespace zj {

class TOpenDialog;

// Lets the user choose the editor font and the compiler. The caller takes the
// values over when the dialog closes with OK.
class TdlgSettings : public QDialog {
    Q_OBJECT
public:
    // Opens on the current settings.
    TdlgSettings(QWidget* owner, const QString& fontName, int fontSize, const std::string& compilerPath,
                 bool showCompile);
    ~TdlgSettings() override;

    std::unique_ptr<TOpenDialog> dlgOpen;

    // The values chosen: the picked typeface (empty when none is selected),
    // the size field's value and the compiler field.
    QString FontName() const;
    int FontSize() const;
    std::string CompilerPath() const;

    void FormCreate(const QString& fontName, int fontSize, const std::string& compilerPath, bool showCompile);
    void cmbFontNameChange();
    void spnFontSizeChange();
    void FormCloseQuery(bool& canClose);
    void cmdBrowseJavacClick();

    // Every way of closing (OK, Cancel, Esc, the close box) passes here.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TdlgSettings> ui;
};

} // namespace zj
