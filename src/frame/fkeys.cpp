// Keys for commands whose menu items show none of their own.
#include "fmain.h"

#include "application.h"
#include "ui_fmain.h"

#include <QAction>
#include <QToolButton>

namespace zj {

void TfrmMain::CreateKeys()
{
    auto key = [this](const char* name, const QKeySequence& sequence, auto handler) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(sequence);
        addAction(action);
        connect(action, &QAction::triggered, this, Guarded(handler));
        return action;
    };
    // Runs its menu item, and is enabled exactly while the item is, so that
    // a disabled command's key reaches the text as before.
    auto itemKey = [&](const char* name, const QKeySequence& sequence, QAction* item) {
        QAction* action = key(name, sequence, [item] { item->trigger(); });
        action->setEnabled(item->isEnabled());
        connect(item, &QAction::changed, action, [action, item] { action->setEnabled(item->isEnabled()); });
    };
    itemKey("keyFileOpen", Qt::CTRL | Qt::Key_O, ui->mnuFileOpen);
    itemKey("keyFilePrint", Qt::CTRL | Qt::Key_P, ui->mnuFilePrint);
    itemKey("keyFileSaveAs", Qt::CTRL | Qt::SHIFT | Qt::Key_S, ui->mnuFileSaveAs);
    // The kind the selector shows; Java while it shows none.
    key("keyFileNew", Qt::CTRL | Qt::Key_N, [this] {
        const int shown = ui->cmbDocType->currentIndex();
        NewDocument(shown >= 0 ? static_cast<TDocType>(shown) : dtJava);
    });
    // Also while their buttons are disabled for want of a compiler.
    key("keyCompile", Qt::Key_F9, [this] { CompilerCommandKey(ui->cmdJava); });
    key("keyRun", Qt::Key_F5, [this] { CompilerCommandKey(ui->cmdRun); });
}

void TfrmMain::CompilerCommandKey(QToolButton* button)
{
    // The compiler is offered only where the command would otherwise apply.
    if (JavaCommandApplies() && EnsureCompiler() && button->isEnabled())
        button->click();
}

} // namespace zj
