#include "msgdialogs.h"

#include "application.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace zj {

std::function<TModalResult(const TMessageRequest&)> MessageHook;
std::function<void()> BeepHook;
std::function<std::optional<int>(const TNumberRequest&)> NumberHook;

namespace {

TModalResult ResultOf(TMsgDlgBtn button)
{
    switch (button) {
    case TMsgDlgBtn::mbYes:
        return mrYes;
    case TMsgDlgBtn::mbNo:
        return mrNo;
    case TMsgDlgBtn::mbOK:
        return mrOk;
    case TMsgDlgBtn::mbCancel:
        return mrCancel;
    }
    return mrCancel;
}

QString CaptionOf(TMsgDlgBtn button)
{
    switch (button) {
    case TMsgDlgBtn::mbYes:
        return QStringLiteral("&Yes");
    case TMsgDlgBtn::mbNo:
        return QStringLiteral("&No");
    case TMsgDlgBtn::mbOK:
        return QStringLiteral("OK");
    case TMsgDlgBtn::mbCancel:
        return QStringLiteral("Cancel");
    }
    return {};
}

// A box whose Escape and close box can answer differently, which QMessageBox
// cannot do.
class TMessageBox : public QDialog {
public:
    explicit TMessageBox(const TMessageRequest& request)
        : QDialog(QApplication::activeWindow()), escape_(ResultOf(request.EscapeButton))
    {
        setWindowTitle(request.Caption);
        setModal(true);
        auto* icon = new QLabel;
        auto pixmap = request.IsError     ? QStyle::SP_MessageBoxCritical
                      : request.IsWarning ? QStyle::SP_MessageBoxWarning
                                          : QStyle::SP_MessageBoxQuestion;
        icon->setPixmap(style()->standardIcon(pixmap).pixmap(32, 32));
        icon->setAlignment(Qt::AlignTop);
        auto* text = new QLabel(request.Text);
        text->setWordWrap(true);
        text->setTextFormat(Qt::PlainText);
        text->setMinimumWidth(240);
        auto* top = new QHBoxLayout;
        top->addWidget(icon);
        top->addWidget(text, 1);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        for (TMsgDlgBtn kind : request.Buttons) {
            auto* button = new QPushButton(CaptionOf(kind));
            TModalResult result = ResultOf(kind);
            connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
            if (kind == request.DefaultButton) {
                button->setDefault(true);
                button->setFocus();
            }
            buttons->addWidget(button);
        }
        buttons->addStretch();
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(top);
        layout->addLayout(buttons);
        layout->setSizeConstraint(QLayout::SetFixedSize);
    }

    // The close box answers Cancel, also without a Cancel button.
    void reject() override { done(mrCancel); }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            done(escape_);
            return;
        }
        QDialog::keyPressEvent(event);
    }
    void showEvent(QShowEvent* event) override
    {
        QDialog::showEvent(event);
        CentreOnScreen(this);
    }

private:
    TModalResult escape_;
};

TModalResult Ask(const TMessageRequest& request)
{
    if (MessageHook)
        return MessageHook(request);
    TMessageBox box(request);
    return static_cast<TModalResult>(box.exec());
}

bool Has(const std::vector<TMsgDlgBtn>& buttons, TMsgDlgBtn button)
{
    return std::find(buttons.begin(), buttons.end(), button) != buttons.end();
}

} // namespace

TModalResult MessageDlg(const QString& text, const std::vector<TMsgDlgBtn>& buttons)
{
    TMessageRequest request;
    request.Caption = QStringLiteral("Confirm");
    request.Text = text;
    for (TMsgDlgBtn kind : {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo, TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel})
        if (Has(buttons, kind))
            request.Buttons.push_back(kind);
    request.DefaultButton = Has(buttons, TMsgDlgBtn::mbOK) ? TMsgDlgBtn::mbOK : TMsgDlgBtn::mbYes;
    request.EscapeButton = Has(buttons, TMsgDlgBtn::mbCancel) ? TMsgDlgBtn::mbCancel : TMsgDlgBtn::mbNo;
    return Ask(request);
}

namespace {

void Tell(const QString& text, bool error)
{
    TMessageRequest request;
    request.Caption = ApplicationTitle();
    request.Text = text;
    request.IsError = error;
    request.IsWarning = !error;
    request.Buttons = {TMsgDlgBtn::mbOK};
    request.DefaultButton = TMsgDlgBtn::mbOK;
    request.EscapeButton = TMsgDlgBtn::mbOK;
    Ask(request);
}

} // namespace

void ShowErrorBox(const QString& message)
{
    Tell(message + QLatin1Char('.'), true);
}

void ShowWarningBox(const QString& text)
{
    Tell(text, false);
}

void DefaultBeep()
{
    if (BeepHook)
        BeepHook();
    else
        QApplication::beep();
}

std::optional<int> InputNumber(const QString& caption, const QString& prompt, int value, int min, int max)
{
    const TNumberRequest request{caption, prompt, value, min, max};
    if (NumberHook)
        return NumberHook(request);
    QInputDialog box(QApplication::activeWindow());
    box.setWindowTitle(caption);
    box.setLabelText(prompt);
    box.setInputMode(QInputDialog::IntInput);
    box.setIntRange(min, max);
    box.setIntValue(value);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.intValue();
}

} // namespace zj
