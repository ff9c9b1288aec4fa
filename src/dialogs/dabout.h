#pragma once

#include "ui_dabout.h"

#include <QDialog>

namespace zj {

// The about box: the program's icon, title, version, copyright and support note.
class TdlgAbout : public QDialog, public Ui::TdlgAbout {
    Q_OBJECT
public:
    explicit TdlgAbout(QWidget* owner = nullptr);

    void FormCreate();
};

} // namespace zj
