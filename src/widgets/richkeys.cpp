// The keys and the typed, composed and pasted text of the edit control.
#include "richedit.h"

#include "msgdialogs.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>

namespace zj {

namespace {

bool HoldsText(const QMimeData* source)
{
    return source && source->hasText();
}

} // namespace

bool TRichEdit::CanHold(const QString& text) const
{
    bool exact = true;
    ToBytes(text, exact);
    return exact;
}

void TRichEdit::keyPressEvent(QKeyEvent* event)
{
    PauseBackgroundStyling();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    // With or without Shift: some keyboards need it for "+" and "/".
    if ((modifiers & ~Qt::ShiftModifier) == Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoomIn();
            return;
        case Qt::Key_Minus:
            zoomOut();
            return;
        case Qt::Key_0:
            zoomTo(0);
            return;
        case Qt::Key_Slash:
            if (!ToggleComment())
                DefaultBeep();
            return;
        default:
            break;
        }
    }
    if (modifiers == Qt::ControlModifier && event->key() == Qt::Key_Space) {
        emit CompletionRequest();
        return;
    }
    // Tab goes to the completion list while it is open.
    const bool tab = event->key() == Qt::Key_Tab && modifiers == Qt::NoModifier;
    const bool backtab = event->key() == Qt::Key_Backtab && (modifiers & ~Qt::ShiftModifier) == Qt::NoModifier;
    if ((tab || backtab) && !SendScintilla(SCI_AUTOCACTIVE)) {
        if (IndentSelectedLines(tab))
            return;
        SendScintilla(SCI_SETUSETABS, static_cast<unsigned long>(IndentsWithTabs()));
    }
    // The frame's Edit commands take these keys while they are enabled; a key
    // that reaches the text does the control's own operation.
    if (modifiers == Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_Z:
            undo();
            return;
        case Qt::Key_Y:
            redo();
            return;
        case Qt::Key_X:
            cut();
            return;
        case Qt::Key_C:
            copy();
            return;
        case Qt::Key_V:
            paste();
            return;
        case Qt::Key_Delete:
            SendScintilla(SCI_DELWORDRIGHT);
            return;
        default:
            break;
        }
    }
    if (event->matches(QKeySequence::Paste)) {
        paste();
        return;
    }
    const QString text = event->text();
    const bool command = modifiers.testFlag(Qt::ControlModifier) != modifiers.testFlag(Qt::AltModifier);
    if (!text.isEmpty() && command) {
        // Ctrl or Alt with a letter is a command, never typing: an Alt+letter
        // that no menu takes types nothing. Both together are AltGr on Windows.
        QKeyEvent bare(event->type(), event->key(), event->modifiers(), QString(), event->isAutoRepeat(),
                       static_cast<quint16>(event->count()));
        QsciScintilla::keyPressEvent(&bare);
        event->setAccepted(bare.isAccepted());
        return;
    }
    if (!text.isEmpty() && text.front().isPrint() && !CanHold(text)) {
        DefaultBeep();
        return;
    }
    QsciScintilla::keyPressEvent(event);
}

void TRichEdit::inputMethodEvent(QInputMethodEvent* event)
{
    if (CanHold(event->commitString())) {
        QsciScintilla::inputMethodEvent(event);
        return;
    }
    DefaultBeep();
    QInputMethodEvent withoutCommit(event->preeditString(), event->attributes());
    QsciScintilla::inputMethodEvent(&withoutCommit);
}

void TRichEdit::paste()
{
    const QMimeData* source = QGuiApplication::clipboard()->mimeData();
    if (HoldsText(source) && !CanHold(source->text())) {
        DefaultBeep();
        return;
    }
    QsciScintilla::paste();
}

bool TRichEdit::canInsertFromMimeData(const QMimeData* source) const
{
    // An 8-bit text takes no character it would have to store as another.
    return QsciScintilla::canInsertFromMimeData(source) && (!HoldsText(source) || CanHold(source->text()));
}

} // namespace zj
