#include "finddialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <initializer_list>

namespace zj {

namespace {

// Tab visits the controls in the order given, as in the platform's dialogs,
// whatever order the layouts made them children in.
void TabOrder(std::initializer_list<QWidget*> controls)
{
    QWidget* before = nullptr;
    for (QWidget* control : controls) {
        if (before)
            QWidget::setTabOrder(before, control);
        before = control;
    }
}

} // namespace

TFindDialog::TFindDialog(QWidget* owner) : QDialog(owner)
{
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);
    // Not a form of the program: opening it is no change of the active form.
    setProperty("commonDialog", true);

    edtFind = new QLineEdit;
    edtFind->setMaxLength(MaxTextLength);
    auto* findLabel = new QLabel(QStringLiteral("Fi&nd what:"));
    findLabel->setBuddy(edtFind);
    fields_ = new QGridLayout;
    fields_->addWidget(findLabel, 0, 0);
    fields_->addWidget(edtFind, 0, 1);

    chkWholeWord = new QCheckBox(QStringLiteral("Match &whole word only"));
    chkMatchCase = new QCheckBox(QStringLiteral("Match &case"));
    auto* boxes = new QVBoxLayout;
    boxes->addWidget(chkWholeWord);
    boxes->addWidget(chkMatchCase);
    boxes->addStretch();
    rbUp = new QRadioButton(QStringLiteral("&Up"));
    rbDown = new QRadioButton(QStringLiteral("&Down"));
    grpDirection = new QGroupBox(QStringLiteral("Direction"));
    auto* directions = new QHBoxLayout(grpDirection);
    directions->addWidget(rbUp);
    directions->addWidget(rbDown);
    auto* choices = new QHBoxLayout;
    choices->addLayout(boxes);
    choices->addWidget(grpDirection);

    auto* left = new QVBoxLayout;
    left->addLayout(fields_);
    left->addLayout(choices);

    cmdFindNext = new QPushButton(QStringLiteral("&Find Next"));
    cmdFindNext->setDefault(true);
    cmdFindNext->setEnabled(false);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"));
    buttons_ = new QVBoxLayout;
    buttons_->addWidget(cmdFindNext);
    buttons_->addWidget(cmdCancel);
    buttons_->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(buttons_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    TabOrder({edtFind, chkWholeWord, chkMatchCase, rbUp, rbDown, cmdFindNext, cmdCancel});

    // Nothing to search for, nothing to press.
    connect(edtFind, &QLineEdit::textChanged, cmdFindNext,
            [this](const QString& text) { cmdFindNext->setEnabled(!text.isEmpty()); });
    connect(cmdFindNext, &QPushButton::clicked, this, [this] {
        ButtonPressed(frFindNext);
        emit Find();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &TFindDialog::reject);
}

void TFindDialog::SetFindText(const QString& text)
{
    findText_ = text.left(MaxTextLength);
}

void TFindDialog::Execute()
{
    if (!isVisible()) {
        Load();
        show();
    }
    raise();
    activateWindow();
}

void TFindDialog::reject()
{
    // Escape, Cancel and the close box all end here.
    TakeOptions({});
    QDialog::reject();
}

void TFindDialog::ButtonPressed(TFindOptions button)
{
    TakeTexts();
    TakeOptions(button);
}

void TFindDialog::TakeTexts()
{
    findText_ = edtFind->text().left(MaxTextLength);
}

void TFindDialog::TakeOptions(TFindOptions button)
{
    Options &= ~TFindOptions(frFindNext | frReplace | frReplaceAll | frMatchCase | frWholeWord | frDown);
    if (chkWholeWord->isChecked())
        Options |= frWholeWord;
    if (chkMatchCase->isChecked())
        Options |= frMatchCase;
    if (rbDown->isChecked())
        Options |= frDown;
    Options |= button;
}

void TFindDialog::Load()
{
    edtFind->setText(findText_);
    edtFind->selectAll();
    edtFind->setFocus();
    chkWholeWord->setChecked(Options.testFlag(frWholeWord));
    chkMatchCase->setChecked(Options.testFlag(frMatchCase));
    rbDown->setChecked(Options.testFlag(frDown));
    rbUp->setChecked(!Options.testFlag(frDown));
    grpDirection->setVisible(!Options.testFlag(frHideUpDown));
    grpDirection->setEnabled(!Options.testFlag(frDisableUpDown));
}

TReplaceDialog::TReplaceDialog(QWidget* owner) : TFindDialog(owner)
{
    setWindowTitle(QStringLiteral("Replace"));
    edtReplace = new QLineEdit;
    edtReplace->setMaxLength(MaxTextLength);
    auto* replaceLabel = new QLabel(QStringLiteral("Re&place with:"));
    replaceLabel->setBuddy(edtReplace);
    fields_->addWidget(replaceLabel, 1, 0);
    fields_->addWidget(edtReplace, 1, 1);

    cmdReplace = new QPushButton(QStringLiteral("&Replace"));
    cmdReplaceAll = new QPushButton(QStringLiteral("Replace &All"));
    cmdReplace->setEnabled(false);
    cmdReplaceAll->setEnabled(false);
    buttons_->insertWidget(1, cmdReplace);
    buttons_->insertWidget(2, cmdReplaceAll);
    TabOrder({edtFind, edtReplace, chkWholeWord, chkMatchCase, rbUp, rbDown, cmdFindNext, cmdReplace, cmdReplaceAll,
              cmdCancel});

    connect(edtFind, &QLineEdit::textChanged, this, [this](const QString& text) {
        cmdReplace->setEnabled(!text.isEmpty());
        cmdReplaceAll->setEnabled(!text.isEmpty());
    });
    connect(cmdReplace, &QPushButton::clicked, this, [this] {
        ButtonPressed(frReplace);
        emit Replace();
    });
    connect(cmdReplaceAll, &QPushButton::clicked, this, [this] {
        ButtonPressed(frReplaceAll);
        emit Replace();
    });
}

void TReplaceDialog::SetReplaceText(const QString& text)
{
    replaceText_ = text.left(MaxTextLength);
}

void TReplaceDialog::TakeTexts()
{
    TFindDialog::TakeTexts();
    replaceText_ = edtReplace->text().left(MaxTextLength);
}

void TReplaceDialog::Load()
{
    TFindDialog::Load();
    edtReplace->setText(replaceText_);
}

} // namespace zj
