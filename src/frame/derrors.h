#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class TdlgErrors;
}

namespace zj {

// The compiler-output window: created hidden at start-up, lives to the end;
// closing it only hides it.
class TdlgErrors : public QWidget {
    Q_OBJECT
public:
    explicit TdlgErrors(QWidget* parent = nullptr);
    ~TdlgErrors() override;

    // Replaces the text with output and brings the window to the front,
    // without making it modal.
    void ShowOutput(const QString& output);

    void cmdOKClick();

private:
    std::unique_ptr<Ui::TdlgErrors> ui;
};

extern TdlgErrors* dlgErrors;

} // namespace zj
