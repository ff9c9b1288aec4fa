#include "cedit.h"

#include "application.h"
#include "crecovery.h"
#include "editorhost.h"
#include "filedialogs.h"
#include "fileio.h"
#include "msgdialogs.h"
#include "recovery.h"
#include "richedit.h"
#include "richprint.h"
#include "sysutils.h"

#include <QCloseEvent>
#include <QFrame>
#include <QMdiArea>
#include <QMenu>
#include <QVBoxLayout>

#include <vector>

namespace zj {

TcwEdit::TcwEdit(IEditorHost& host) : host_(host)
{
    setAttribute(Qt::WA_DeleteOnClose);
    resize(429, 208);

    Panel1 = new QFrame;
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    memText = new TRichEdit(Panel1);
    memText->SetLineNumbers(true);
    auto* layout = new QVBoxLayout(Panel1);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(memText);
    setWidget(Panel1);

    mnpText = new QMenu(this);
    mnpTextCut = mnpText->addAction(QStringLiteral("Cu&t"), this, Guarded([this] { doCut(); }));
    mnpTextCopy = mnpText->addAction(QStringLiteral("&Copy"), this, Guarded([this] { doCopy(); }));
    mnpTextPaste = mnpText->addAction(QStringLiteral("&Paste"), this, Guarded([this] { doPaste(); }));
    mnpTextDelete = mnpText->addAction(QStringLiteral("&Delete"), this, Guarded([this] { doDelete(); }));
    connect(memText, &TRichEdit::ContextPopup, this, Guarded([this](const QPoint& at) {
                mnpTextPopup();
                mnpText->popup(at);
            }));
    connect(memText, &TRichEdit::SelectionChange, this, Guarded([this] { memTextClick(); }));
    connect(memText, &TRichEdit::MouseDown, this, Guarded([this] { memTextMouseDown(); }));
    connect(memText, &TRichEdit::CompletionRequest, this, Guarded([this] { CompleteWord(); }));
    if (TRecoveryStore* store = host.RecoveryStore()) {
        recovery_ = new TRecoveryCopier(*this, *store);
        connect(memText, &TRichEdit::TextChanged, recovery_, &TRecoveryCopier::Changed);
    }

    FormCreate();
}

TcwEdit* TcwEdit::CreateUntitled(IEditorHost& host, TDocType docType, int number)
{
    auto* editor = new TcwEdit(host);
    TIdentity identity = editor->Identity();
    identity.DocType = docType;
    editor->SetIdentity(std::move(identity));
    editor->SetUntitledName(number, host.DocTypeList().GetDefaultExt(docType));
    return editor;
}

TcwEdit* TcwEdit::CreateRecovered(IEditorHost& host, const TRecoveryCopy& copy)
{
    auto* editor = new TcwEdit(host);
    const auto docType = static_cast<TDocType>(copy.DocType);
    editor->SetIdentity({copy.Untitled ? std::string() : copy.FileName, copy.Untitled, docType,
                         copy.Untitled ? QString::fromStdString(copy.Caption)
                                       : FileNameToQt(ExtractFileName(copy.FileName))});
    editor->memText->LoadBytes(copy.Text);
    editor->memText->SetLineBreak(copy.LineBreak);
    editor->memText->SetModified(true);
    if (!copy.Untitled)
        editor->disk_.Recover(copy.FileName, copy.Stamp, copy.Hash);
    return editor;
}

void TcwEdit::FormCreate()
{
    SetIdentity({{}, true, dtOther, QStringLiteral("New")});
}

void TcwEdit::SetIdentity(TIdentity identity)
{
    identity_ = std::move(identity);
    // The window system reads "[*]" as the place of its modified mark and
    // shows a doubled one as itself.
    setWindowTitle(QString(identity_.Caption).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
    // The colours follow the kind at once.
    memText->SetSyntax(host_.DocTypeList().GetSyntax(identity_.DocType));
}

void TcwEdit::SetUntitledName(int number, const std::string& ext)
{
    TIdentity identity = identity_;
    identity.Caption = QStringLiteral("Untitled_%1.%2").arg(number).arg(FileNameToQt(ext));
    identity.Untitled = true;
    SetIdentity(std::move(identity));
}

bool TcwEdit::LoadFile(const std::string& fileName, const TAcceptText& accept)
{
    if (!FileExists(fileName))
        return true;
    TIdentity before = identity_;
    // The kind first, so that the text arrives under it.
    SetIdentity({fileName, false, host_.DocTypeList().GetDocType(ExtractFileExt(fileName)),
                 FileNameToQt(ExtractFileName(fileName))});
    // Looked at before the read: a change during it shows at the next look.
    const TFileStamp stamp = StampFile(fileName);
    std::optional<std::uint64_t> loaded;
    try {
        loaded = memText->LoadFromFile(fileName, TRichEdit::LoadChunkSize, accept);
    } catch (...) {
        // Nameless and untitled, so no later Save can overwrite the file
        // that could not be read.
        before.FileName.clear();
        before.Untitled = true;
        SetIdentity(std::move(before));
        throw;
    }
    if (!loaded) {
        SetIdentity(std::move(before));
        return false;
    }
    disk_.Take(fileName, stamp, *loaded);
    memText->SetModified(false);
    textAsRead_ = true;
    memText->setReadOnly(host_.OpenReadOnly());
    host_.UpdateMenuItems();
    return true;
}

void TcwEdit::WriteText(const std::string& fileName)
{
    // Straight from the control's own pieces. A text as it was read goes
    // back byte for byte, so the save before every compile leaves an
    // unchanged file alone; a changed one gets the document's line break
    // throughout, converted on the way to the file.
    const bool asRead = textAsRead_ && !memText->Edited();
    const TLineBreaks breaks = asRead                                   ? TLineBreaks::Keep
                               : memText->LineBreak() == TLineBreak::Lf ? TLineBreaks::Lf
                                                                        : TLineBreaks::CrLf;
    TContentHash written;
    WriteFileSafely(fileName, memText->Pieces(), breaks, asRead ? nullptr : &written);
    disk_.Take(fileName, StampFile(fileName), asRead ? disk_.TakenHash() : written.Value());
    if (recovery_)
        recovery_->Drop();
    textAsRead_ = asRead;
    emit FileWritten(fileName);
}

bool TcwEdit::Save()
{
    if (Untitled())
        return SaveAs();
    if (disk_.FileName() == FileName() && disk_.ChangedSinceTaken()
        && MessageDlg(QStringLiteral("'%1' was changed by another program since it was opened. Replace it with "
                                     "this document?")
                          .arg(FileNameToQt(FileName())),
                      {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo})
               != mrYes)
        return false;
    WriteText(FileName());
    memText->SetModified(false);
    return true;
}

bool TcwEdit::SaveAs()
{
    std::string name;
    for (;;) {
        const std::optional<std::string> chosen = host_.AskSaveName(DocType());
        if (!chosen)
            return false;
        name = *chosen;
        if (!FileExists(name))
            break;
        TModalResult answer = MessageDlg(QStringLiteral("OK to overwrite %1").arg(FileNameToQt(name)),
                                         {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo, TMsgDlgBtn::mbCancel});
        if (answer == mrCancel)
            return false;
        if (answer == mrYes)
            break;
        // No: nothing is saved yet, so the dialog comes back, on the name
        // chosen, for another one.
    }
    // The name first: a failed write leaves it set, with the caption and the
    // untitled state as they were.
    TIdentity identity = identity_;
    identity.FileName = name;
    SetIdentity(std::move(identity));
    WriteText(name);
    // Reloading takes the kind from the new name, clears the modified state
    // and captions the window with the name.
    LoadFile(name);
    return true;
}

bool TcwEdit::QuerySave()
{
    if (!memText->Modified())
        return true;
    TModalResult answer = MessageDlg(QStringLiteral("Save changes to %1?").arg(FileNameToQt(FileName())),
                                     {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo, TMsgDlgBtn::mbCancel});
    if (answer == mrCancel)
        return false;
    // A save that did not happen (the file changed on disk, and the user
    // would not replace it) keeps the window open with its text.
    return answer != mrYes || Save();
}

bool TcwEdit::IsSaved() const
{
    return !Untitled() && !memText->Modified();
}

void TcwEdit::FormCloseQuery(bool& canClose)
{
    if (!memText->Modified())
        return;
    if (Untitled()) {
        TModalResult answer = MessageDlg(QStringLiteral("Save '%1'?").arg(Caption()),
                                         {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo});
        if (answer == mrYes && !SaveAs())
            canClose = false;
        return;
    }
    canClose = QuerySave();
}

bool TcwEdit::CanClose()
{
    bool canClose = true;
    try {
        FormCloseQuery(canClose);
    } catch (const std::exception& error) {
        // A save that failed keeps the window open.
        canClose = false;
        HandleException(error);
    }
    return canClose;
}

void TcwEdit::closeEvent(QCloseEvent* event)
{
    if (!CanClose()) {
        event->ignore();
        return;
    }
    // Closed without saving: the changes are given up, and their copy.
    if (recovery_)
        recovery_->Drop();
    QMdiSubWindow::closeEvent(event);
}

void TcwEdit::SetEditorFont(const QFont& font)
{
    memText->SetEditorFont(font);
}

void TcwEdit::Print(TTextPrinter& printer)
{
    printer.Title = Untitled() ? Caption() : FileNameToQt(FileName());
    printer.Print(*memText);
}

void TcwEdit::SetDocType(TDocType docType)
{
    if (docType == DocType())
        return;
    const std::string ext = "." + host_.DocTypeList().GetDefaultExt(docType);
    const std::string caption = ChangeFileExt(FileNameFromQt(Caption()), ext);
    TIdentity identity = identity_;
    identity.DocType = docType;
    identity.Caption = FileNameToQt(caption);
    // The file on disk keeps its name; the next Save writes the new one.
    if (!identity.FileName.empty())
        identity.FileName = ExtractFilePath(identity.FileName) + caption;
    SetIdentity(std::move(identity));
    // The file of the new name is not the one read.
    if (disk_.FileName() != FileName())
        disk_.Forget();
    memText->SetModified(true);
    if (recovery_)
        recovery_->Changed();
}

void TcwEdit::CheckFileOnDisk()
{
    std::string bytes;
    switch (disk_.Look(bytes)) {
    case TDiskFile::TChange::None:
        return;
    case TDiskFile::TChange::Gone:
        host_.ShowStatus(QStringLiteral("'%1' no longer exists on disk.").arg(FileNameToQt(FileName())));
        memText->SetModified(true);
        if (recovery_)
            recovery_->Changed();
        return;
    case TDiskFile::TChange::Changed:
        break;
    }
    const QString name = FileNameToQt(FileName());
    if (memText->Modified()) {
        if (MessageDlg(QStringLiteral("'%1' was changed by another program. Reload it and lose your changes?").arg(name),
                       {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo})
            != mrYes)
            return;
    }
    memText->ReloadBytes(bytes);
    disk_.TakeSeen();
    textAsRead_ = true;
    host_.ShowStatus(QStringLiteral("'%1' was changed by another program and has been reloaded.").arg(name));
    host_.UpdateMenuItems();
}

void TcwEdit::Undo()
{
    memText->undo();
}

void TcwEdit::Redo()
{
    memText->redo();
}

void TcwEdit::CompleteWord()
{
    std::vector<TRichEdit*> texts;
    if (QMdiArea* area = mdiArea()) {
        for (QMdiSubWindow* window : area->subWindowList())
            if (auto* editor = qobject_cast<TcwEdit*>(window))
                texts.push_back(editor->memText);
    } else {
        texts.push_back(memText);
    }
    memText->ShowCompletion(texts);
}

void TcwEdit::RememberCaret()
{
    SavedCaret = memText->SelStart();
}

void TcwEdit::doCut()
{
    memText->cut();
}

void TcwEdit::doCopy()
{
    memText->copy();
}

void TcwEdit::doPaste()
{
    memText->paste();
}

void TcwEdit::doDelete()
{
    memText->removeSelectedText();
}

void TcwEdit::mnpTextPopup()
{
    const bool selected = memText->SelLength() > 0;
    mnpTextCut->setEnabled(selected);
    mnpTextCopy->setEnabled(selected);
    mnpTextDelete->setEnabled(selected);
    mnpTextPaste->setEnabled(ClipboardHasText());
}

void TcwEdit::memTextClick()
{
    RememberCaret();
    host_.UpdateMenuItems();
}

void TcwEdit::memTextMouseDown()
{
    RememberCaret();
}

} // namespace zj
