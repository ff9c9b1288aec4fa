#include "derrors.h"

#include "application.h"
#include "richedit.h"
#include "ui_derrors.h"

#include <QFontDatabase>
#include <QKeyEvent>

#include <algorithm>

namespace zj {

TdlgErrors* dlgErrors = nullptr;

TdlgErrors::TdlgErrors(QWidget* parent) : QWidget(parent, Qt::Tool), ui(std::make_unique<Ui::TdlgErrors>())
{
    ui->setupUi(this);
    // A visible output window must not keep the program alive.
    setAttribute(Qt::WA_QuitOnClose, false);
    // Fixed pitch, so that javac's caret lines up under the column it means.
    ui->memErrors->SetEditorFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ui->memErrors->setReadOnly(true);
    ui->memErrors->installEventFilter(this);
    connect(ui->memErrors, &QsciScintillaBase::SCN_DOUBLECLICK, this,
            Guarded([this](int, int line, int) { emit LineChosen(OutputLine(line)); }));
    connect(ui->cmdOK, &QPushButton::clicked, this, Guarded([this] { cmdOKClick(); }));
}

TdlgErrors::~TdlgErrors() = default;

void TdlgErrors::ShowOutput(std::string_view output)
{
    ui->memErrors->LoadView(output, continued_);
    show();
    raise();
}

int TdlgErrors::OutputLine(int displayLine) const
{
    const auto pieces = std::upper_bound(continued_.begin(), continued_.end(), displayLine) - continued_.begin();
    return displayLine - static_cast<int>(pieces);
}

void TdlgErrors::ShowLine(int outputLine)
{
    // The first display line of the output line: the smallest one that
    // OutputLine maps onto it.
    int low = outputLine;
    int high = outputLine + static_cast<int>(continued_.size());
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (OutputLine(middle) < outputLine)
            low = middle + 1;
        else
            high = middle;
    }
    ui->memErrors->GoToLineColumn(low, 0);
}

int TdlgErrors::CaretOutputLine() const
{
    return OutputLine(ui->memErrors->CaretLine());
}

bool TdlgErrors::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->memErrors && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Guarded([this] { emit LineChosen(CaretOutputLine()); })();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TdlgErrors::cmdOKClick()
{
    close();
}

} // namespace zj
