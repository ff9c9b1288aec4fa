#include "derrors.h"

#include "application.h"
#include "ui_derrors.h"

namespace zj {

TdlgErrors* dlgErrors = nullptr;

TdlgErrors::TdlgErrors(QWidget* parent) : QWidget(parent, Qt::Tool), ui(std::make_unique<Ui::TdlgErrors>())
{
    ui->setupUi(this);
    // A visible output window must not keep the program alive.
    setAttribute(Qt::WA_QuitOnClose, false);
    connect(ui->cmdOK, &QPushButton::clicked, this, Guarded([this] { cmdOKClick(); }));
}

TdlgErrors::~TdlgErrors() = default;

void TdlgErrors::ShowOutput(const QString& output)
{
    ui->memErrors->setPlainText(output);
    show();
    raise();
}

void TdlgErrors::cmdOKClick()
{
    close();
}

} // namespace zj
