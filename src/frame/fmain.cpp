#include "fmain.h"

#include "application.h"
#include "cedit.h"
#include "crecovery.h"
#include "editorfont.h"
#include "filedialogs.h"
#include "msgdialogs.h"
#include "formresources.h"
#include "jobwatch.h"
#include "messagelist.h"
#include "msgdialogs.h"
#include "printdialog.h"
#include "recovery.h"
#include "registry.h"
#include "richedit.h"
#include "sysutils.h"
#include "ui_fmain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QStatusTipEvent>
#include <QTimer>

namespace zj {

TfrmMain* frmMain = nullptr;

TfrmMain::TfrmMain() : ui(std::make_unique<Ui::TfrmMain>())
{
    frmMain = this;
    InitFormResources();
    ui->setupUi(this);
    // A menu shows its hint on the menu bar through its own action.
    for (QMenu* menu : {ui->mnuFile, ui->mnuFileNew, ui->mnuEdit, ui->mnuSearch, ui->mnuWindow, ui->mnuHelp})
        menu->menuAction()->setStatusTip(menu->statusTip());
    PixelsPerInch = ScreenPixelsPerInch();
    Font = QFont(QStringLiteral("Courier"));
    SetFontSize(Font, 8, PixelsPerInch);
    dlgOpen = std::make_unique<TOpenDialog>(this);
    dlgSave = std::make_unique<TSaveDialog>(this);
    dlgPrint = std::make_unique<TPrintDialog>(this);
    recovery_ = std::make_unique<TRecoveryStore>(RecoveryFolder());
    recovery_->Written = [this](bool written) {
        QMetaObject::invokeMethod(this, [this, written] {
            if (written) {
                recoveryFailureShown_ = false;
            } else if (!recoveryFailureShown_) {
                recoveryFailureShown_ = true;
                ShowStatus(QStringLiteral("Recovery copies of unsaved documents cannot be written in '%1'.")
                               .arg(FileNameToQt(recovery_->Folder().Path())));
            }
        }, Qt::QueuedConnection);
    };
    const QString filter = QString::fromStdString(TDocTypeList::DialogFilter(dtJava));
    dlgOpen->Filter = filter;
    dlgSave->Filter = filter;
    CreateSearchDialogs();
    CreateConsole();
    messages_ = std::make_shared<TMessageList>(TMessageList::TSource::Compiler,
                                               [](const std::string& named) { return named; });
    CreateStatusFields();
    ConnectHandlers();
    CreateKeys();
    try {
        FormCreate();
    } catch (const std::exception& error) {
        HandleException(error);
    }
}

TfrmMain::~TfrmMain()
{
    // The windows go first, their recovery copies with them, while the store
    // that writes them is still there.
    for (TcwEdit* editor : EditorWindows())
        delete editor;
    recovery_.reset();
    FormDestroy();
    if (frmMain == this)
        frmMain = nullptr;
}

void TfrmMain::ConnectHandlers()
{
    for (QAction* item : {ui->mnuFileNewJava, ui->mnuFileNewHtml, ui->mnuFileNewText, ui->mnuFileNewOther,
                          ui->mnpFileNewJava, ui->mnpFileNewHtml, ui->mnpFileNewText, ui->mnpFileNewOther})
        connect(item, &QAction::triggered, this, Guarded([this, item] { mnuFileNewClick(item); }));
    connect(ui->cmdNew, &QToolButton::clicked, this, Guarded([this] { cmdNewClick(); }));
    connect(ui->cmbDocType, &QComboBox::activated, this, Guarded([this] { cmbDocTypeChange(); }));

    auto bind = [this](auto* control, auto signal, void (TfrmMain::*handler)()) {
        connect(control, signal, this, Guarded([this, handler] { (this->*handler)(); }));
    };
    const auto triggered = &QAction::triggered;
    const auto clicked = &QToolButton::clicked;
    bind(ui->mnuFileOpen, triggered, &TfrmMain::OpenDoc);
    bind(ui->cmdOpen, clicked, &TfrmMain::OpenDoc);
    bind(ui->mnuFileClose, triggered, &TfrmMain::CloseDoc);
    bind(ui->mnuFileSave, triggered, &TfrmMain::SaveDoc);
    bind(ui->cmdSave, clicked, &TfrmMain::SaveDoc);
    bind(ui->mnuFileSaveAs, triggered, &TfrmMain::SaveDocAs);
    bind(ui->mnuFileSaveAll, triggered, &TfrmMain::SaveAllDocs);
    bind(ui->cmdSaveAll, clicked, &TfrmMain::SaveAllDocs);
    bind(ui->mnuFilePrint, triggered, &TfrmMain::PrintDoc);
    bind(ui->cmdPrint, clicked, &TfrmMain::PrintDoc);
    bind(ui->mnuFileExit, triggered, &TfrmMain::ExitApp);
    bind(ui->cmdExit, clicked, &TfrmMain::ExitApp);
    bind(ui->mnuEditUndo, triggered, &TfrmMain::EditUndo);
    bind(ui->cmdUndo, clicked, &TfrmMain::EditUndo);
    bind(ui->mnuEditRedo, triggered, &TfrmMain::EditRedo);
    bind(ui->mnuEditCut, triggered, &TfrmMain::EditCut);
    bind(ui->cmdCut, clicked, &TfrmMain::EditCut);
    bind(ui->mnuEditCopy, triggered, &TfrmMain::EditCopy);
    bind(ui->cmdCopy, clicked, &TfrmMain::EditCopy);
    bind(ui->mnuEditPaste, triggered, &TfrmMain::EditPaste);
    bind(ui->cmdPaste, clicked, &TfrmMain::EditPaste);
    bind(ui->mnuEditDelete, triggered, &TfrmMain::mnuEditDeleteClick);
    bind(ui->mnuWindowCascade, triggered, &TfrmMain::mnuWindowCascadeClick);
    bind(ui->mnuWindowTile, triggered, &TfrmMain::mnuWindowTileClick);
    bind(ui->mnuWindowArrange, triggered, &TfrmMain::mnuWindowArrangeClick);
    bind(ui->mnuWindowMinimize, triggered, &TfrmMain::mnuWindowMinimizeClick);
    bind(ui->cmdJava, clicked, &TfrmMain::cmdJavaClick);
    bind(ui->cmdRun, clicked, &TfrmMain::cmdRunClick);
    bind(ui->cmdStop, clicked, &TfrmMain::cmdStopClick);
    bind(ui->cmdBrowser, clicked, &TfrmMain::cmdBrowserClick);
    bind(ui->mnuSearchFind, triggered, &TfrmMain::SearchFind);
    bind(ui->cmdFind, clicked, &TfrmMain::SearchFind);
    bind(ui->mnuSearchFindNext, triggered, &TfrmMain::SearchFindNext);
    bind(ui->cmdFindNext, clicked, &TfrmMain::SearchFindNext);
    bind(ui->mnuSearchReplace, triggered, &TfrmMain::SearchReplace);
    bind(ui->cmdReplace, clicked, &TfrmMain::SearchReplace);
    bind(ui->mnuSearchNextError, triggered, &TfrmMain::mnuSearchNextErrorClick);
    bind(ui->mnuSearchPreviousError, triggered, &TfrmMain::mnuSearchPreviousErrorClick);
    bind(ui->mnuSearchGoToLine, triggered, &TfrmMain::mnuSearchGoToLineClick);
    bind(ui->mnuEditSettings, triggered, &TfrmMain::mnuEditSettingsClick);
    bind(ui->mnuHelpAbout, triggered, &TfrmMain::mnuHelpAboutClick);
    connect(ui->mnuWindow, &QMenu::aboutToShow, this, Guarded([this] { mnuWindowAboutToShow(); }));
    connect(ui->mnuFile, &QMenu::aboutToShow, this, Guarded([this] { mnuFileAboutToShow(); }));
}

void TfrmMain::FormCreate()
{
    DocTypes.reset();
    BrowserExe.clear();
    ShowCompileWindow = false;
    UntitledCount = 0;
    // A broken association is reported and the editor starts without a browser.
    try {
        FindBrowser();
    } catch (const ERegistryFileError&) {
        // The settings, read next from the same file, report it once.
    } catch (const std::exception& error) {
        HandleException(error);
    }
    DocTypes = std::make_unique<TDocTypeList>();
    ui->cmbDocType->clear();
    for (int i = 0; i < DocTypes->Count(); ++i)
        ui->cmbDocType->addItem(QString::fromStdString(DocTypes->Strings(i)));
    ui->cmbDocType->setCurrentIndex(-1);
    // Stored straight back, so every value is present after the first start.
    // A failed load is not stored over, so its error shows at every start.
    // A store that cannot be written is said once here, not in a box at
    // every start, and what was read stays in use.
    try {
        ReadWriteSettings(false);
        try {
            ReadWriteSettings(true);
        } catch (const ERegistryFileError& error) {
            if (error.Line() != 0)
                throw;
            ShowStatus(QStringLiteral("The settings are not stored: %1").arg(QString::fromLocal8Bit(error.what())));
        }
    } catch (const std::exception& error) {
        HandleException(error);
    }
    qApp->installEventFilter(this);
    hintInstalled_ = true;
    // The command state follows the form that has the keyboard focus, and the
    // active editor window, which can change without the focus moving.
    activeFormWatch_ = connect(qApp, &QApplication::focusChanged, this, Guarded([this](QWidget*, QWidget* now) {
                                   ActiveFormChanged(FormOf(now));
                               }));
    connect(ui->ClientArea, &QMdiArea::subWindowActivated, this,
            Guarded([this](QMdiSubWindow* window) {
                ActiveFormChanged(window ? static_cast<QWidget*>(window) : this);
                UpdateStatusFields();
                // After the activation is done: the check may ask a question.
                if (auto* editor = qobject_cast<TcwEdit*>(window))
                    QTimer::singleShot(0, editor, Guarded([this, editor] { CheckFilesOnDisk(editor); }));
            }));
    dlgOpen->InitialDir =
        UserWritableFolder(FileNameToQt(ExtractFileDir(FileNameFromQt(QCoreApplication::applicationFilePath()))));
}

void TfrmMain::FormDestroy()
{
    DocTypes.reset();
    if (hintInstalled_) {
        qApp->removeEventFilter(this);
        hintInstalled_ = false;
    }
    disconnect(activeFormWatch_);
    ui->ClientArea->disconnect(this);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    // The class library calls the hint handler only when the hint changes.
    // Back from another program, which may have changed the files.
    if (event->type() == QEvent::ApplicationStateChange && watched == qApp
        && static_cast<QApplicationStateChangeEvent*>(event)->applicationState() == Qt::ApplicationActive)
        QTimer::singleShot(0, this, Guarded([this] { CheckFilesOnDisk(); }));
    if (event->type() == QEvent::StatusTip) {
        QString hint = static_cast<QStatusTipEvent*>(event)->tip();
        if (hint != hintText_) {
            hintText_ = hint;
            DisplayHint(hint);
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::DisplayHint(const QString& hint)
{
    ui->StatusBar->showMessage(hint);
}

void TfrmMain::NewDocument(TDocType docType)
{
    ++UntitledCount;
    TcwEdit* editor = TcwEdit::CreateUntitled(*this, docType, UntitledCount);
    AddEditor(editor);
    ApplyEditorFont(editor);
}

void TfrmMain::ApplyEditorFont(QWidget* form)
{
    if (auto* editor = qobject_cast<TcwEdit*>(form))
        editor->SetEditorFont(ShownEditorFont(Font));
}

void TfrmMain::mnuFileNewClick(QObject* sender)
{
    if (auto* item = qobject_cast<QAction*>(sender))
        NewDocument(static_cast<TDocType>(item->property("tag").toInt() & 0xFF));
}

void TfrmMain::cmdNewClick()
{
    ui->mnpFileNew->popup(ui->cmdNew->mapToGlobal(QPoint(0, 0)));
}

void TfrmMain::cmbDocTypeChange()
{
    if (TcwEdit* editor = ActiveEditor())
        editor->SetDocType(static_cast<TDocType>(ui->cmbDocType->currentIndex()));
}

bool TfrmMain::ExecuteSaveDialog(TDocType docType)
{
    dlgSave->Filter = QString::fromStdString(TDocTypeList::DialogFilter(docType));
    return dlgSave->Execute();
}

std::optional<std::string> TfrmMain::AskSaveName(TDocType docType)
{
    if (!ExecuteSaveDialog(docType))
        return std::nullopt;
    std::string name = FileNameFromQt(dlgSave->FileName);
    // Completed in the dialog too, which shows the name at its next use.
    if (ExtractFileExt(name).empty()) {
        name += "." + DocTypes->GetDefaultExt(docType);
        dlgSave->FileName = FileNameToQt(name);
    }
    return name;
}

bool TfrmMain::OpenReadOnly() const
{
    return dlgOpen->ReadOnly;
}

void TfrmMain::AddEditor(TcwEdit* editor)
{
    connect(editor, &TcwEdit::FileWritten, this, Guarded([this](const std::string& fileName) { RememberFile(fileName); }));
    auto followed = [this, editor] {
        if (editor == ActiveEditor())
            StatusFieldsChanged();
    };
    connect(editor->memText, &TRichEdit::SelectionChange, this, followed);
    // Reported in the middle of an edit, before the caret has followed it.
    connect(editor->memText, &TRichEdit::ModifiedChange, this, followed, Qt::QueuedConnection);
    ui->ClientArea->addSubWindow(editor);
    editor->show();
    ui->ClientArea->setActiveSubWindow(editor);
}

TcwEdit* TfrmMain::FindEditor(const std::string& fileName) const
{
    for (TcwEdit* editor : EditorWindows())
        if (!editor->FileName().empty() && SameFile(editor->FileName(), fileName))
            return editor;
    return nullptr;
}

TcwEdit* TfrmMain::ActiveEditor() const
{
    return qobject_cast<TcwEdit*>(ui->ClientArea->currentSubWindow());
}

QList<TcwEdit*> TfrmMain::EditorWindows() const
{
    QList<TcwEdit*> editors;
    const QList<QMdiSubWindow*> windows = ui->ClientArea->subWindowList(QMdiArea::ActivationHistoryOrder);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (auto* editor = qobject_cast<TcwEdit*>(*it))
            editors << editor;
    return editors;
}

void TfrmMain::CheckFilesOnDisk(TcwEdit* editor)
{
    // One question at a time: a box of our own, or one already asking, waits.
    if (checkingFiles_ || QApplication::activeModalWidget())
        return;
    checkingFiles_ = true;
    QList<QPointer<TcwEdit>> editors;
    for (TcwEdit* each : editor ? QList<TcwEdit*>{editor} : EditorWindows())
        editors << each;
    for (const QPointer<TcwEdit>& each : editors) {
        // A window closed while a question was open is not looked at.
        if (!each)
            continue;
        try {
            each->CheckFileOnDisk();
        } catch (const std::exception& error) {
            HandleException(error);
        }
    }
    checkingFiles_ = false;
}

void TfrmMain::OfferRecovery()
{
    if (!recovery_->Valid())
        return;
    TLeftCopies left(recovery_->Folder(), recovery_->Session());
    if (left.Copies.empty())
        return;
    const TModalResult answer =
        MessageDlg(QStringLiteral("Unsaved changes to %1 document(s) were kept when the editor last ended. Recover "
                                  "them?")
                       .arg(left.Copies.size()),
                   {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo, TMsgDlgBtn::mbCancel});
    if (answer == mrNo)
        left.Discard();
    if (answer != mrYes)
        return;
    bool adopted = true;
    for (std::size_t i = 0; i < left.Copies.size(); ++i) {
        TcwEdit* editor = TcwEdit::CreateRecovered(*this, left.Copies[i]);
        AddEditor(editor);
        ApplyEditorFont(editor);
        // The copy becomes the window's own; were it written again, a crash
        // meanwhile would find neither.
        if (left.Adopt(i, *recovery_, editor->Recovery()->Number()))
            editor->Recovery()->Adopted();
        else
            adopted = false;
    }
    // A copy that could not be taken over stays, to be offered again.
    if (adopted)
        left.Discard();
    UpdateMenuItems();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    if (run_
        && MessageDlg(QStringLiteral("'%1' is still running. Stop it and exit?").arg(runName_),
                      {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo})
               != mrYes) {
        event->ignore();
        return;
    }
    // Every editor agrees first, the most recently active one first; the
    // first refusal keeps the frame and the windows not yet asked open.
    for (TcwEdit* editor : EditorWindows()) {
        if (!editor->CanClose()) {
            event->ignore();
            return;
        }
    }
    // Nothing the editor started outlives it.
    run_.reset();
    compile_.reset();
    event->accept();
}

} // namespace zj
