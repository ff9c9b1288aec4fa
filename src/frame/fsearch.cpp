// The find and replace commands and dialogs of the frame.
#include "fmain.h"

#include "application.h"
#include "cedit.h"
#include "derrors.h"
#include "finddialogs.h"
#include "richedit.h"
#include "ui_fmain.h"

namespace zj {

void TfrmMain::CreateSearchDialogs()
{
    dlgFind = new TFindDialog(this);
    dlgFind->Options = frDown | frHideUpDown;
    dlgReplace = new TReplaceDialog(this);
    dlgReplace->Options = frDown | frDisableUpDown;
    connect(dlgFind, &TFindDialog::Find, this, Guarded([this] { dlgFindFind(dlgFind); }));
    connect(dlgReplace, &TFindDialog::Find, this, Guarded([this] { dlgFindFind(dlgReplace); }));
    connect(dlgReplace, &TReplaceDialog::Replace, this, Guarded([this] { dlgReplaceReplace(); }));
}

void TfrmMain::ShowStatus(const QString& text)
{
    ui->StatusBar->showMessage(text);
}

void TfrmMain::SearchFind()
{
    if (TcwEdit* editor = ActiveEditor()) {
        editor->RememberCaret();
        dlgFind->Execute();
    }
}

void TfrmMain::SearchFindNext()
{
    TcwEdit* editor = ActiveEditor();
    if (!editor || dlgFind->FindText().isEmpty())
        return;
    editor->FindNext(dlgFind->FindText(), dlgFind->Options.testFlag(frWholeWord),
                     dlgFind->Options.testFlag(frMatchCase));
}

void TfrmMain::SearchReplace()
{
    if (TcwEdit* editor = ActiveEditor()) {
        editor->RememberCaret();
        dlgReplace->Execute();
    }
}

void TfrmMain::dlgFindFind(TFindDialog* sender)
{
    TcwEdit* editor = ActiveEditor();
    if (!editor || sender->FindText().isEmpty())
        return;
    // The texts are kept in step, so F3 repeats the last search text; the
    // options stay each dialog's own.
    TFindDialog* other = sender == dlgFind ? static_cast<TFindDialog*>(dlgReplace) : dlgFind;
    other->SetFindText(sender->FindText());
    editor->FindNext(sender->FindText(), sender->Options.testFlag(frWholeWord),
                     sender->Options.testFlag(frMatchCase));
}

void TfrmMain::dlgReplaceReplace()
{
    TcwEdit* editor = ActiveEditor();
    if (!editor || dlgReplace->FindText().isEmpty())
        return;
    dlgFind->SetFindText(dlgReplace->FindText());
    editor->Replace(dlgReplace->FindText(), dlgReplace->ReplaceText(), dlgReplace->Options);
}

void TfrmMain::KeepClearOfErrors(TcwEdit* editor)
{
    // The output window stands where it was put, often over the text.
    if (dlgErrors && dlgErrors->isVisible())
        editor->memText->KeepCaretLineClearOf(dlgErrors->frameGeometry());
}

} // namespace zj
