#pragma once

#include "ui_derrors.h"

#include <QWidget>

namespace zj {

// The compiler-output window: created hidden at start-up, lives to the end;
// closing it only hides it.
class TdlgErrors : public QWidget, public Ui::TdlgErrors {
    Q_OBJECT
public:
    explicit TdlgErrors(QWidget* parent = nullptr);

    void cmdOKClick();
};

extern TdlgErrors* dlgErrors;

} // namespace zj
