#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TdlgAbout;
}

namespace zj {

// The about box: the program's icon, title, version, copyright and support note.
class TdlgAbout : public QDialog {
    Q_OBJECT
public:
    explicit TdlgAbout(QWidget* owner = nullptr);
    ~TdlgAbout() override;

    void FormCreate();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TdlgAbout> ui;
};

} // namespace zj
