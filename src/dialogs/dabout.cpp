#include "dabout.h"

#include "application.h"
#include "formresources.h"

#include <QIcon>

namespace zj {

TdlgAbout::TdlgAbout(QWidget* owner) : QDialog(owner)
{
    InitFormResources();
    setupUi(this);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    cmdOK->setFocus();
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    FormCreate();
}

void TdlgAbout::FormCreate()
{
    imgIcon->setPixmap(QIcon(QStringLiteral(":/MAINICON")).pixmap(31, 31));
    lblTitle->setText(ApplicationTitle());
    lblVersion->setText(QStringLiteral("Version 1.00"));
    lblCopyright->setText(QStringLiteral("Copyright \u00a9 2026 Zorvane"));
    lblSupport->setText(
        QStringLiteral("Questions and comments are welcome: write to support@zorvane.example"));
    // The one-line labels size themselves to their text.
    for (QLabel* label : {lblTitle, lblVersion, lblCopyright})
        label->adjustSize();
}

} // namespace zj
