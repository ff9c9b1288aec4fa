#include "spinedit.h"

#include "msgdialogs.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace zj {

TSpinEdit::TSpinEdit(QWidget* parent) : QWidget(parent)
{
    edit_ = new QLineEdit(this);
    up_ = new QToolButton(this);
    down_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {up_, down_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedWidth(15);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    }
    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    buttons->addWidget(up_);
    buttons->addWidget(down_);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(edit_);
    layout->addLayout(buttons);
    // One tab stop: the field takes the focus for the whole control.
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(edit_);
    edit_->installEventFilter(this);
    connect(edit_, &QLineEdit::textChanged, this, &TSpinEdit::Change);
    connect(up_, &QToolButton::clicked, this, [this] { Step(Increment); });
    connect(down_, &QToolButton::clicked, this, [this] { Step(-Increment); });
}

QString TSpinEdit::Text() const
{
    return edit_->text();
}

int TSpinEdit::Value() const
{
    bool ok = false;
    const int value = edit_->text().toInt(&ok);
    return ok ? value : MinValue;
}

int TSpinEdit::Clamp(int value) const
{
    return std::clamp(value, MinValue, std::max(MinValue, MaxValue));
}

void TSpinEdit::SetValue(int value)
{
    const QString text = QString::number(Clamp(value));
    if (text != edit_->text())
        edit_->setText(text);
}

void TSpinEdit::Step(int delta)
{
    SetValue(Value() + delta);
}

bool TSpinEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            Step(key->key() == Qt::Key_Up ? Increment : -Increment);
            return true;
        }
        const QString text = key->text();
        if (text.size() == 1 && text[0].isPrint()) {
            const QChar c = text[0];
            const bool allowed = c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-')
                                 || c == QLocale().decimalPoint().front();
            if (!allowed) {
                DefaultBeep();
                return true;
            }
        }
    } else if (watched == edit_ && event->type() == QEvent::FocusOut) {
        // A typed value outside the range stands until the field is left.
        if (Clamp(Value()) != Value())
            SetValue(Value());
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zj
