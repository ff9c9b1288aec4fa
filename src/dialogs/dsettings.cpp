#include "dsettings.h"

#include "application.h"
#include "filedialogs.h"
#include "sysutils.h"
#include "ui_dsettings.h"

#include <QFontDatabase>

#include <algorithm>

namespace zj {

TdlgSettings::TdlgSettings(QWidget* owner, const QString& fontName, int fontSize, const std::string& compilerPath,
                           bool showCompile)
    : QDialog(owner), ui(std::make_unique<Ui::TdlgSettings>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui->spnFontSize->MinValue = 6;
    ui->spnFontSize->MaxValue = 72;
    ui->spnFontSize->Increment = 1;
    dlgOpen = std::make_unique<TOpenDialog>(this);
    dlgOpen->ShowReadOnly = false;

    connect(ui->cmbFontName, &QComboBox::activated, this, Guarded([this] { cmbFontNameChange(); }));
    connect(ui->spnFontSize, &TSpinEdit::Change, this, Guarded([this] { spnFontSizeChange(); }));
    connect(ui->cmdBrowseJavac, &QPushButton::clicked, this, Guarded([this] { cmdBrowseJavacClick(); }));
    connect(ui->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate(fontName, fontSize, compilerPath, showCompile);
}

TdlgSettings::~TdlgSettings() = default;

void TdlgSettings::FormCreate(const QString& fontName, int fontSize, const std::string& compilerPath,
                              bool showCompile)
{
    QStringList families = QFontDatabase::families();
    std::sort(families.begin(), families.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    ui->cmbFontName->addItems(families);
    int current = -1;
    for (int i = 0; i < families.size() && current < 0; ++i)
        if (families[i].compare(fontName, Qt::CaseInsensitive) == 0)
            current = i;
    ui->cmbFontName->setCurrentIndex(current);
    // The sample starts in the dialog's own typeface at the editor's size.
    ui->spnFontSize->SetValue(fontSize);
    ui->edtJavac->setText(FileNameToQt(compilerPath));
    ui->chkShowCompile->setChecked(showCompile);
}

QString TdlgSettings::FontName() const
{
    return ui->cmbFontName->currentIndex() >= 0 ? ui->cmbFontName->currentText() : QString();
}

int TdlgSettings::FontSize() const
{
    return ui->spnFontSize->Value();
}

std::string TdlgSettings::CompilerPath() const
{
    return FileNameFromQt(ui->edtJavac->text());
}

void TdlgSettings::cmbFontNameChange()
{
    QFont font = ui->pnlSample->font();
    font.setFamily(ui->cmbFontName->currentText());
    ui->pnlSample->setFont(font);
}

void TdlgSettings::spnFontSizeChange()
{
    QFont font = ui->pnlSample->font();
    if (ui->spnFontSize->Value() > 0)
        font.setPointSize(ui->spnFontSize->Value());
    ui->pnlSample->setFont(font);
}

void TdlgSettings::FormCloseQuery(bool& canClose)
{
    const QString path = ui->edtJavac->text();
    canClose = path.isEmpty() || FileExists(FileNameFromQt(path));
}

void TdlgSettings::done(int result)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        QDialog::done(result);
}

void TdlgSettings::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // On the frame's screen, but not over the frame.
    CentreOnScreen(this);
}

void TdlgSettings::cmdBrowseJavacClick()
{
#ifdef _WIN32
    dlgOpen->FileName = QStringLiteral("javac.exe");
    dlgOpen->Filter = QStringLiteral("java compiler|javac.exe|All files|*.*");
#else
    // Programs here carry no extension.
    dlgOpen->FileName = QStringLiteral("javac");
    dlgOpen->Filter = QStringLiteral("java compiler|javac|All files|*.*");
#endif
    if (dlgOpen->Execute())
        ui->edtJavac->setText(dlgOpen->FileName);
}

} // namespace zj
