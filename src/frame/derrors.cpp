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
    SetOutput(output);
    show();
    raise();
}

void TdlgErrors::SetOutput(std::string_view output)
{
    ui->memErrors->LoadView(output, continued_);
}

int TdlgErrors::OutputLine(int displayLine) const
{
    const auto pieces = std::upper_bound(continued_.begin(), continued_.end(), displayLine) - continued_.begin();
    return displayLine - static_cast<int>(pieces);
}

void TdlgErrors::ShowLine(int outputLine)
{
    const int line = FirstDisplayLine(outputLine, outputLine, outputLine + static_cast<int>(continued_.size()),
                                      [this](int displayLine) { return OutputLine(displayLine); });
    ui->memErrors->GoToLineColumn(line, 0);
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
