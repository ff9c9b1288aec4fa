#include "dsettings.h"

#include "application.h"
#include "filedialogs.h"
#include "sysutils.h"
#include "zidarodadefs.h"

#include <QFontDatabase>

#include <algorithm>

namespace zj {

TdlgSettings::TdlgSettings(QWidget* owner, const QString& fontName, int fontSize) : QDialog(owner)
{
    setupUi(this);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    spnFontSize->MinValue = 6;
    spnFontSize->MaxValue = 72;
    spnFontSize->Increment = 1;
    dlgOpen = std::make_unique<TOpenDialog>(this);
    dlgOpen->ShowReadOnly = false;

    connect(cmbFontName, &QComboBox::activated, this, Guarded([this] { cmbFontNameChange(); }));
    connect(spnFontSize, &TSpinEdit::Change, this, Guarded([this] { spnFontSizeChange(); }));
    connect(cmdBrowseJavac, &QPushButton::clicked, this, Guarded([this] { cmdBrowseJavacClick(); }));
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate(fontName, fontSize);
}

TdlgSettings::~TdlgSettings() = default;

void TdlgSettings::FormCreate(const QString& fontName, int fontSize)
{
    QStringList families = QFontDatabase::families();
    std::sort(families.begin(), families.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    cmbFontName->addItems(families);
    int current = -1;
    for (int i = 0; i < families.size() && current < 0; ++i)
        if (families[i].compare(fontName, Qt::CaseInsensitive) == 0)
            current = i;
    cmbFontName->setCurrentIndex(current);
    // The sample starts in the dialog's own typeface at the editor's size.
    spnFontSize->SetValue(fontSize);
    edtJavac->setText(FileNameToQt(JavaCompilerPath));
    chkShowCompile->setChecked(ShowCompileWindow);
}

void TdlgSettings::cmbFontNameChange()
{
    QFont font = pnlSample->font();
    font.setFamily(cmbFontName->currentText());
    pnlSample->setFont(font);
}

void TdlgSettings::spnFontSizeChange()
{
    QFont font = pnlSample->font();
    if (spnFontSize->Value() > 0)
        font.setPointSize(spnFontSize->Value());
    pnlSample->setFont(font);
}

void TdlgSettings::FormCloseQuery(bool& canClose)
{
    const QString path = edtJavac->text();
    canClose = path.isEmpty() || FileExists(FileNameFromQt(path));
}

void TdlgSettings::done(int result)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        QDialog::done(result);
}

void TdlgSettings::cmdBrowseJavacClick()
{
    dlgOpen->FileName = QStringLiteral("javac.exe");
#ifdef _WIN32
    dlgOpen->Filter = QStringLiteral("java compiler|javac.exe|All files|*.*");
#else
    // Compilers here carry no extension.
    dlgOpen->Filter = QStringLiteral("java compiler|javac.exe;javac|All files|*.*");
#endif
    if (dlgOpen->Execute())
        edtJavac->setText(dlgOpen->FileName);
}

} // namespace zj
