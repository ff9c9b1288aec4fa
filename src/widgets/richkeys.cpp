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
    // The frame's Edit commands take these keys while they are enabled; a key
    // that reaches the text does the control's own operation.
    if (modifiers == Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_Z:
            undo();
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
