#include "fmain.h"

#include "application.h"
#include "cedit.h"
#include "editorfont.h"
#include "filedialogs.h"
#include "formresources.h"
#include "registry.h"
#include "sysutils.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QStatusTipEvent>

namespace zj {

TfrmMain* frmMain = nullptr;

TfrmMain::TfrmMain()
{
    frmMain = this;
    InitFormResources();
    setupUi(this);
    // A menu shows its hint on the menu bar through its own action.
    for (QMenu* menu : {mnuFile, mnuFileNew, mnuEdit, mnuSearch, mnuWindow, mnuHelp})
        menu->menuAction()->setStatusTip(menu->statusTip());
    PixelsPerInch = ScreenPixelsPerInch();
    Font = QFont(QStringLiteral("Courier"));
    SetFontSize(Font, 8, PixelsPerInch);
    dlgOpen = std::make_unique<TOpenDialog>(this);
    dlgSave = std::make_unique<TSaveDialog>(this);
    const QString filter = QString::fromStdString(TDocTypeList::DialogFilter(dtJava));
    dlgOpen->Filter = filter;
    dlgSave->Filter = filter;
    CreateSearchDialogs();
    ConnectHandlers();
    try {
        FormCreate();
    } catch (const std::exception& error) {
        HandleException(error);
    }
}

TfrmMain::~TfrmMain()
{
    FormDestroy();
    if (frmMain == this)
        frmMain = nullptr;
}

void TfrmMain::ConnectHandlers()
{
    for (QAction* item : {mnuFileNewJava, mnuFileNewHtml, mnuFileNewText, mnuFileNewOther, mnpFileNewJava,
                          mnpFileNewHtml, mnpFileNewText, mnpFileNewOther})
        connect(item, &QAction::triggered, this, Guarded([this, item] { mnuFileNewClick(item); }));
    connect(cmdNew, &QToolButton::clicked, this, Guarded([this] { cmdNewClick(); }));
    connect(cmbDocType, &QComboBox::activated, this, Guarded([this] { cmbDocTypeChange(); }));

    auto bind = [this](auto* control, auto signal, void (TfrmMain::*handler)()) {
        connect(control, signal, this, Guarded([this, handler] { (this->*handler)(); }));
    };
    const auto triggered = &QAction::triggered;
    const auto clicked = &QToolButton::clicked;
    bind(mnuFileOpen, triggered, &TfrmMain::OpenDoc);
    bind(cmdOpen, clicked, &TfrmMain::OpenDoc);
    bind(mnuFileClose, triggered, &TfrmMain::CloseDoc);
    bind(mnuFileSave, triggered, &TfrmMain::SaveDoc);
    bind(cmdSave, clicked, &TfrmMain::SaveDoc);
    bind(mnuFileSaveAs, triggered, &TfrmMain::SaveDocAs);
    bind(mnuFileSaveAll, triggered, &TfrmMain::SaveAllDocs);
    bind(cmdSaveAll, clicked, &TfrmMain::SaveAllDocs);
    bind(mnuFileExit, triggered, &TfrmMain::ExitApp);
    bind(cmdExit, clicked, &TfrmMain::ExitApp);
    bind(mnuEditUndo, triggered, &TfrmMain::EditUndo);
    bind(cmdUndo, clicked, &TfrmMain::EditUndo);
    bind(mnuEditCut, triggered, &TfrmMain::EditCut);
    bind(cmdCut, clicked, &TfrmMain::EditCut);
    bind(mnuEditCopy, triggered, &TfrmMain::EditCopy);
    bind(cmdCopy, clicked, &TfrmMain::EditCopy);
    bind(mnuEditPaste, triggered, &TfrmMain::EditPaste);
    bind(cmdPaste, clicked, &TfrmMain::EditPaste);
    bind(mnuEditDelete, triggered, &TfrmMain::mnuEditDeleteClick);
    bind(mnuWindowCascade, triggered, &TfrmMain::mnuWindowCascadeClick);
    bind(mnuWindowTile, triggered, &TfrmMain::mnuWindowTileClick);
    bind(mnuWindowArrange, triggered, &TfrmMain::mnuWindowArrangeClick);
    bind(mnuWindowMinimize, triggered, &TfrmMain::mnuWindowMinimizeClick);
    bind(cmdJava, clicked, &TfrmMain::cmdJavaClick);
    bind(cmdBrowser, clicked, &TfrmMain::cmdBrowserClick);
    bind(mnuSearchFind, triggered, &TfrmMain::SearchFind);
    bind(cmdFind, clicked, &TfrmMain::SearchFind);
    bind(mnuSearchFindNext, triggered, &TfrmMain::SearchFindNext);
    bind(cmdFindNext, clicked, &TfrmMain::SearchFindNext);
    bind(mnuSearchReplace, triggered, &TfrmMain::SearchReplace);
    bind(cmdReplace, clicked, &TfrmMain::SearchReplace);
    bind(mnuEditSettings, triggered, &TfrmMain::mnuEditSettingsClick);
    bind(mnuHelpAbout, triggered, &TfrmMain::mnuHelpAboutClick);
    connect(mnuWindow, &QMenu::aboutToShow, this, Guarded([this] { mnuWindowAboutToShow(); }));
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
    cmbDocType->clear();
    for (int i = 0; i < DocTypes->Count(); ++i)
        cmbDocType->addItem(QString::fromStdString(DocTypes->Strings(i)));
    cmbDocType->setCurrentIndex(-1);
    // Stored straight back, so every value is present after the first start.
    // A failed load is not stored over, so its error shows at every start.
    try {
        ReadWriteSettings(false);
        ReadWriteSettings(true);
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
    connect(ClientArea, &QMdiArea::subWindowActivated, this,
            Guarded([this](QMdiSubWindow* window) { ActiveFormChanged(window ? static_cast<QWidget*>(window) : this); }));
    dlgOpen->InitialDir = FileNameToQt(ExtractFileDir(FileNameFromQt(QCoreApplication::applicationFilePath())));
}

void TfrmMain::FormDestroy()
{
    DocTypes.reset();
    if (hintInstalled_) {
        qApp->removeEventFilter(this);
        hintInstalled_ = false;
    }
    disconnect(activeFormWatch_);
    ClientArea->disconnect(this);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    // The class library calls the hint handler only when the hint changes.
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
    StatusBar->showMessage(hint);
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
        editor->setFont(Font);
}

void TfrmMain::mnuFileNewClick(QObject* sender)
{
    if (auto* item = qobject_cast<QAction*>(sender))
        NewDocument(static_cast<TDocType>(item->property("tag").toInt() & 0xFF));
}

void TfrmMain::cmdNewClick()
{
    mnpFileNew->popup(cmdNew->mapToGlobal(QPoint(0, 0)));
}

void TfrmMain::cmbDocTypeChange()
{
    if (TcwEdit* editor = ActiveEditor())
        editor->SetDocType(static_cast<TDocType>(cmbDocType->currentIndex()));
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
    ClientArea->addSubWindow(editor);
    editor->show();
    ClientArea->setActiveSubWindow(editor);
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
    return qobject_cast<TcwEdit*>(ClientArea->currentSubWindow());
}

QList<TcwEdit*> TfrmMain::EditorWindows() const
{
    QList<TcwEdit*> editors;
    const QList<QMdiSubWindow*> windows = ClientArea->subWindowList(QMdiArea::ActivationHistoryOrder);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (auto* editor = qobject_cast<TcwEdit*>(*it))
            editors << editor;
    return editors;
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    // Every editor agrees first, the most recently active one first; the
    // first refusal keeps the frame and the windows not yet asked open.
    for (TcwEdit* editor : EditorWindows()) {
        if (!editor->CanClose()) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

} // namespace zj
