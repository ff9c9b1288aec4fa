#include "derrors.h"

#include "application.h"

namespace zj {

TdlgErrors* dlgErrors = nullptr;

TdlgErrors::TdlgErrors(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setupUi(this);
    // A visible output window must not keep the program alive.
    setAttribute(Qt::WA_QuitOnClose, false);
    connect(cmdOK, &QPushButton::clicked, this, Guarded([this] { cmdOKClick(); }));
}

void TdlgErrors::cmdOKClick()
{
    close();
}

} // namespace zj
