// The Print command.
#include "fmain.h"

#include "cedit.h"
#include "printdialog.h"
#include "richprint.h"

namespace zj {

void TfrmMain::PrintDoc()
{
    TcwEdit* editor = ActiveEditor();
    if (!editor)
        return;
    TTextPrinter printer;
    printer.setDocName(editor->Caption());
    if (dlgPrint->Execute(printer))
        editor->Print(printer);
}

} // namespace zj
