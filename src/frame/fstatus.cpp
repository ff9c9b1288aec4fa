// The status bar's own fields beside its simple text: where the caret is and
// whether the active document has unsaved changes.
#include "fmain.h"

#include "cedit.h"
#include "richedit.h"
#include "ui_fmain.h"

#include <QLabel>
#include <QTimer>

namespace zj {

namespace {

// Drawing the fields costs more than a keystroke in the text: while the
// caret keeps moving they are drawn at once, then at most this often.
constexpr int StatusPeriodMs = 25;
constexpr int FieldPadding = 8;

} // namespace

void TfrmMain::CreateStatusFields()
{
    auto field = [this](const char* name, const QString& widest) {
        auto* label = new QLabel(widest, ui->StatusBar);
        label->setObjectName(QString::fromLatin1(name));
        label->setTextFormat(Qt::PlainText);
        // A fixed size: a new text then repaints the field alone instead of
        // laying out the whole status bar again.
        label->setFixedSize(label->sizeHint().width() + FieldPadding, label->sizeHint().height());
        label->clear();
        ui->StatusBar->addPermanentWidget(label);
        return label;
    };
    lblCaret_ = field("lblCaret", QStringLiteral("Ln 99999, Col 999"));
    lblModified_ = field("lblModified", QStringLiteral("Modified"));
    statusTimer_ = new QTimer(this);
    statusTimer_->setSingleShot(true);
    statusTimer_->setInterval(StatusPeriodMs);
    connect(statusTimer_, &QTimer::timeout, this, [this] { UpdateStatusFields(); });
}

void TfrmMain::StatusFieldsChanged()
{
    if (statusTimer_->isActive())
        return;
    UpdateStatusFields();
    statusTimer_->start();
}

void TfrmMain::UpdateStatusFields()
{
    TcwEdit* active = ActiveEditor();
    const QString caret = active ? QStringLiteral("Ln %1, Col %2")
                                       .arg(active->memText->CaretLine() + 1)
                                       .arg(active->memText->CaretColumn())
                                 : QString();
    // Grown, never shrunk, for the numbers of a long text or line.
    const int width = lblCaret_->fontMetrics().horizontalAdvance(caret) + FieldPadding;
    if (width > lblCaret_->width())
        lblCaret_->setFixedWidth(width);
    lblCaret_->setText(caret);
    lblModified_->setText(active && active->memText->Modified() ? QStringLiteral("Modified") : QString());
}

} // namespace zj
