#pragma once

#include <QWidget>

#include <memory>
#include <string_view>
#include <vector>

namespace Ui {
class TdlgErrors;
}

namespace zj {

// The compiler-output window: created hidden at start-up, lives to the end;
// closing it only hides it. The output is read-only, in a fixed-pitch font;
// double-click or Enter on a line asks for the line to be followed.
class TdlgErrors : public QWidget {
    Q_OBJECT
public:
    explicit TdlgErrors(QWidget* parent = nullptr);
    ~TdlgErrors() override;

    // Replaces the text with output, bytes as the compiler wrote them, and
    // brings the window to the front, without making it modal.
    void ShowOutput(std::string_view output);
    // Replaces the text as ShowOutput does, leaving the window as it is.
    void SetOutput(std::string_view output);
    // Puts the caret at the start of a line of the output (0-based), in view.
    void ShowLine(int outputLine);
    // The output line (0-based) the caret is on.
    int CaretOutputLine() const;

    void cmdOKClick();

signals:
    // A line of the output (0-based) chosen by double-click or Enter.
    void LineChosen(int outputLine);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int OutputLine(int displayLine) const;

    std::unique_ptr<Ui::TdlgErrors> ui;
    // Display lines that go on the output line before them.
    std::vector<int> continued_;
};

extern TdlgErrors* dlgErrors;

} // namespace zj
