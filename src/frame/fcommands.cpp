// The command state and the document, edit and window commands.
#include "fmain.h"

#include "cedit.h"
#include "filedialogs.h"
#include "msgdialogs.h"
#include "richedit.h"
#include "sysutils.h"
#include "ui_fmain.h"

#include <QApplication>
#include <QFileDialog>
#include <QMdiSubWindow>
#include <QMenu>

#include <algorithm>
#include <cmath>
#include <memory>

namespace zj {

namespace {

// The commands that act on the active document do nothing without one.
template <class Method>
void OnActive(TcwEdit* editor, Method method)
{
    if (editor)
        (editor->*method)();
}

// The text control lays out a line whole at its first paint: the user
// decides whether to wait for a line longer than this.
constexpr std::size_t LongLine = std::size_t(1) << 20;

bool AcceptLongLine(const std::string& fileName, const TTextShape& shape)
{
    if (shape.LongestLine <= LongLine)
        return true;
    const double megabytes = static_cast<double>(shape.LongestLine) / (1 << 20);
    const QString size = QStringLiteral("%1 MB").arg(megabytes, 0, 'f', megabytes < 10 ? 1 : 0);
    const int seconds = std::max(1, static_cast<int>(std::ceil(TRichEdit::LayoutSeconds(shape.LongestLine, shape.Utf8))));
    return MessageDlg(QStringLiteral("'%1' has a line of %2; showing it may take about %3 seconds. Open it anyway?")
                          .arg(FileNameToQt(fileName), size)
                          .arg(seconds),
                      {TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel})
           == mrOk;
}

} // namespace

void TfrmMain::UpdateMenuItems()
{
    const bool anyWindow = !ui->ClientArea->subWindowList().isEmpty();
    TcwEdit* active = ActiveEditor();

    ui->mnuFileClose->setEnabled(anyWindow);
    ui->mnuFileSave->setEnabled(anyWindow);
    ui->cmdSave->setEnabled(anyWindow);
    ui->mnuFileSaveAs->setEnabled(anyWindow);
    ui->mnuFileSaveAll->setEnabled(anyWindow);
    ui->cmdSaveAll->setEnabled(anyWindow);
    ui->mnuFilePrint->setEnabled(active && active->memText->LineCount() > 0);
    ui->cmdPrint->setEnabled(ui->mnuFilePrint->isEnabled());
    ui->mnuEditUndo->setEnabled(anyWindow);
    ui->cmdUndo->setEnabled(anyWindow);
    ui->mnuEditRedo->setEnabled(active && active->memText->isRedoAvailable());
    ui->mnuEditCut->setEnabled(active && active->memText->SelLength() > 0);
    ui->cmdCut->setEnabled(ui->mnuEditCut->isEnabled());
    ui->mnuEditCopy->setEnabled(ui->mnuEditCut->isEnabled());
    ui->cmdCopy->setEnabled(ui->mnuEditCut->isEnabled());
    ui->mnuEditPaste->setEnabled(active && ClipboardHasText());
    ui->cmdPaste->setEnabled(ui->mnuEditPaste->isEnabled());
    ui->mnuEditDelete->setEnabled(ui->mnuEditCut->isEnabled());
    const bool hasText = ui->mnuFilePrint->isEnabled();
    for (QAction* item : {ui->mnuSearchFind, ui->mnuSearchFindNext, ui->mnuSearchReplace})
        item->setEnabled(hasText);
    for (QToolButton* button : {ui->cmdFind, ui->cmdFindNext, ui->cmdReplace})
        button->setEnabled(hasText);
    ui->mnuSearchNextError->setEnabled(messagesLocated_);
    ui->mnuSearchPreviousError->setEnabled(messagesLocated_);
    ui->mnuSearchGoToLine->setEnabled(hasText);
    ui->cmbDocType->setEnabled(active != nullptr);
    // Setting the index from code does not run the change handler.
    ui->cmbDocType->setCurrentIndex(ui->cmbDocType->isEnabled() ? active->DocType() : -1);
    // One compile at a time; a run may compile first.
    ui->cmdJava->setEnabled(JavaCommandApplies() && !JavaCompilerPath.empty() && FileExists(JavaCompilerPath));
    ui->cmdRun->setEnabled(ui->cmdJava->isEnabled());
    ui->cmdStop->setEnabled(compile_ || run_);
    ui->cmdBrowser->setEnabled(hasText && !BrowserExe.empty());
    for (QAction* item : {ui->mnuWindowCascade, ui->mnuWindowTile, ui->mnuWindowArrange, ui->mnuWindowMinimize})
        item->setEnabled(anyWindow);
}

QWidget* TfrmMain::FormOf(QWidget* widget) const
{
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        if (qobject_cast<TcwEdit*>(w))
            return w;
        if (w->isWindow())
            return w;
    }
    return nullptr;
}

void TfrmMain::ActiveFormChanged(QWidget* form)
{
    // The common file dialogs are not forms of the program.
    if (!form || qobject_cast<QFileDialog*>(form) || form->property("commonDialog").toBool())
        return;
    if (form == activeForm_)
        return;
    activeForm_ = form;
    UpdateMenuItems();
}

void TfrmMain::OpenDoc()
{
    if (dlgOpen->Execute())
        OpenFile(FileNameFromQt(dlgOpen->FileName));
}

TcwEdit* TfrmMain::OpenFile(const std::string& fileName)
{
    // Loaded before it is shown, so that a file that cannot be read, or a
    // line the user would rather not wait for, leaves no window behind.
    auto editor = std::make_unique<TcwEdit>(*this);
    ApplyEditorFont(editor.get());
    if (!editor->LoadFile(fileName, [&](const TTextShape& shape) { return AcceptLongLine(fileName, shape); }))
        return nullptr;
    AddEditor(editor.get());
    UpdateMenuItems();
    // A name that is no file leaves an empty window, and nothing to reopen.
    if (!editor->Untitled())
        RememberFile(fileName);
    return editor.release();
}

void TfrmMain::CloseDoc()
{
    OnActive(ActiveEditor(), &TcwEdit::close);
}

void TfrmMain::SaveDoc()
{
    OnActive(ActiveEditor(), &TcwEdit::Save);
}

void TfrmMain::SaveDocAs()
{
    OnActive(ActiveEditor(), &TcwEdit::SaveAs);
}

void TfrmMain::SaveAllDocs()
{
    const QList<TcwEdit*> editors = EditorWindows();
    for (auto it = editors.rbegin(); it != editors.rend(); ++it)
        (*it)->Save();
}

void TfrmMain::ExitApp()
{
    close();
}

bool TfrmMain::JavaCommandApplies() const
{
    TcwEdit* active = ActiveEditor();
    return active && active->memText->LineCount() > 0 && active->DocType() == dtJava && !compile_;
}

void TfrmMain::EditUndo()
{
    OnActive(ActiveEditor(), &TcwEdit::Undo);
}

void TfrmMain::EditRedo()
{
    OnActive(ActiveEditor(), &TcwEdit::Redo);
}

void TfrmMain::EditCut()
{
    OnActive(ActiveEditor(), &TcwEdit::doCut);
}

void TfrmMain::EditCopy()
{
    OnActive(ActiveEditor(), &TcwEdit::doCopy);
}

void TfrmMain::EditPaste()
{
    OnActive(ActiveEditor(), &TcwEdit::doPaste);
}

void TfrmMain::mnuEditDeleteClick()
{
    OnActive(ActiveEditor(), &TcwEdit::doDelete);
}

void TfrmMain::mnuWindowCascadeClick()
{
    ui->ClientArea->cascadeSubWindows();
}

void TfrmMain::mnuWindowTileClick()
{
    // Horizontal tiling: the windows lie one above the other, each as wide as
    // the client area.
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* window : ui->ClientArea->subWindowList(QMdiArea::CreationOrder))
        if (!window->isMinimized())
            windows << window;
    if (windows.isEmpty())
        return;
    const QRect area = ui->ClientArea->viewport()->rect();
    const int height = area.height() / static_cast<int>(windows.size());
    int top = 0;
    for (QMdiSubWindow* window : windows) {
        if (window->isMaximized())
            window->showNormal();
        window->setGeometry(0, top, area.width(), height);
        top += height;
    }
}

void TfrmMain::mnuWindowArrangeClick()
{
    // Minimised windows line up along the bottom of the client area.
    const QRect area = ui->ClientArea->viewport()->rect();
    int left = 0;
    int bottom = area.bottom() + 1;
    for (QMdiSubWindow* window : ui->ClientArea->subWindowList(QMdiArea::CreationOrder)) {
        if (!window->isMinimized())
            continue;
        const QSize size = window->size();
        if (left > 0 && left + size.width() > area.width()) {
            left = 0;
            bottom -= size.height();
        }
        window->move(left, bottom - size.height());
        left += size.width();
    }
}

void TfrmMain::mnuWindowMinimizeClick()
{
    const QList<TcwEdit*> editors = EditorWindows();
    for (auto it = editors.rbegin(); it != editors.rend(); ++it)
        (*it)->showMinimized();
}

void TfrmMain::mnuWindowAboutToShow()
{
    // The window list follows the four arranging commands.
    for (QAction* item : windowList_)
        delete item;
    windowList_.clear();
    const QList<QMdiSubWindow*> windows = ui->ClientArea->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    windowList_ << ui->mnuWindow->addSeparator();
    int number = 0;
    for (QMdiSubWindow* window : windows) {
        ++number;
        auto* editor = qobject_cast<TcwEdit*>(window);
        QString caption = editor ? editor->Caption() : window->windowTitle();
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* item = ui->mnuWindow->addAction(
            number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(caption) : caption);
        item->setCheckable(true);
        item->setChecked(window == ui->ClientArea->currentSubWindow());
        connect(item, &QAction::triggered, this, [this, window = QPointer<QMdiSubWindow>(window)] {
            if (window)
                ui->ClientArea->setActiveSubWindow(window);
        });
        windowList_ << item;
    }
}

} // namespace zj
