#include "dabout.h"

#include "application.h"
#include "formresources.h"
#include "ui_dabout.h"

#include <QIcon>

namespace zj {

TdlgAbout::TdlgAbout(QWidget* owner) : QDialog(owner), ui(std::make_unique<Ui::TdlgAbout>())
{
    InitFormResources();
    ui->setupUi(this);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui->cmdOK->setFocus();
    connect(ui->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    FormCreate();
}

TdlgAbout::~TdlgAbout() = default;

void TdlgAbout::FormCreate()
{
    ui->imgIcon->setPixmap(QIcon(QStringLiteral(":/MAINICON")).pixmap(31, 31));
    ui->lblTitle->setText(ApplicationTitle());
    ui->lblVersion->setText(QStringLiteral("Version 1.00"));
    ui->lblCopyright->setText(QStringLiteral("Copyright \u00a9 2026 Zorvane"));
    ui->lblSupport->setText(
        QStringLiteral("Questions and comments are welcome: write to support@zorvane.example"));
    // The one-line labels size themselves to their text.
    for (QLabel* label : {ui->lblTitle, ui->lblVersion, ui->lblCopyright})
        label->adjustSize();
}

void TdlgAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOnScreen(this);
}

} // namespace zj
