#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace zj {

// A whole-number field with up and down buttons. Typing may leave the value
// outside the range until the field loses the focus; text that is not a whole
// number counts as the minimum.
class TSpinEdit : public QWidget {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    int MinValue = 0;
    int MaxValue = 100;
    int Increment = 1;

    int Value() const;
    // Pulls value into the range; the text changes only when it differs.
    void SetValue(int value);
    QString Text() const;
    QLineEdit* Editor() const { return edit_; }

signals:
    // The text changed: by typing, by stepping or by the program.
    void Change();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int Clamp(int value) const;
    void Step(int delta);

    QLineEdit* edit_;
    QToolButton* up_;
    QToolButton* down_;
};

} // namespace zj
