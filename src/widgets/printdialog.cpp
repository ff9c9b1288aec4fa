#include "printdialog.h"

#include <QPrintDialog>

namespace zj {

std::function<bool(QPrinter&)> TPrintDialog::ExecuteHook;

bool TPrintDialog::Execute(QPrinter& printer)
{
    if (ExecuteHook)
        return ExecuteHook(printer);
    QPrintDialog dialog(&printer, owner_);
    // Not a form of the program: the command state does not follow it.
    dialog.setProperty("commonDialog", true);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace zj
