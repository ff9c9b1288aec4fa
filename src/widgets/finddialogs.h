#pragma once

#include <QDialog>
#include <QFlags>
#include <QString>

class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace zj {

enum TFindOption {
    frDown = 0x1,
    frFindNext = 0x2,
    frHideUpDown = 0x4,
    frDisableUpDown = 0x8,
    frMatchCase = 0x10,
    frWholeWord = 0x20,
    frReplace = 0x40,
    frReplaceAll = 0x80,
};
Q_DECLARE_FLAGS(TFindOptions, TFindOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFindOptions)

// The modeless find dialog. It holds its own search text, copied from its box
// whenever Find Next (or Replace, Replace All) is pressed; a text the program
// sets while it is open shows when it next opens, so closing leaves the held
// text alone. The options follow the boxes and the button pressed, refreshed
// at every press, closing included.
class TFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFindDialog(QWidget* owner);

    static constexpr int MaxTextLength = 255;

    TFindOptions Options;

    QString FindText() const { return findText_; }
    void SetFindText(const QString& text);

    // Opens the dialog, or brings it to the top when it is open.
    void Execute();

    QLineEdit* edtFind;
    QCheckBox* chkWholeWord;
    QCheckBox* chkMatchCase;
    QGroupBox* grpDirection;
    QRadioButton* rbUp;
    QRadioButton* rbDown;
    QPushButton* cmdFindNext;
    QPushButton* cmdCancel;

public slots:
    void reject() override;

signals:
    // Find Next was pressed.
    void Find();

protected:
    void ButtonPressed(TFindOptions button);
    virtual void TakeTexts();
    // The boxes with the flag of the button pressed (none for closing).
    void TakeOptions(TFindOptions button);
    // Shows the held texts and options in the boxes.
    virtual void Load();

    QGridLayout* fields_;
    QVBoxLayout* buttons_;

private:
    QString findText_;
};

// The modeless replace dialog: the find dialog with a replacement text and the
// Replace and Replace All buttons.
class TReplaceDialog : public TFindDialog {
    Q_OBJECT
public:
    explicit TReplaceDialog(QWidget* owner);

    QString ReplaceText() const { return replaceText_; }
    void SetReplaceText(const QString& text);

    QLineEdit* edtReplace;
    QPushButton* cmdReplace;
    QPushButton* cmdReplaceAll;

signals:
    // Replace or Replace All was pressed; frReplaceAll tells which.
    void Replace();

protected:
    void TakeTexts() override;
    void Load() override;

private:
    QString replaceText_;
};

} // namespace zj
