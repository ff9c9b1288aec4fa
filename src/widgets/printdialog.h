#pragma once

#include <functional>

class QPrinter;
class QWidget;

namespace zj {

// The common print dialog: the printer or file, the pages and the copies.
class TPrintDialog {
public:
    explicit TPrintDialog(QWidget* owner) : owner_(owner) {}

    // Runs the dialog modally on printer; true when the user chose to print.
    bool Execute(QPrinter& printer);

    // Tests choose the printer here instead of a person.
    static std::function<bool(QPrinter&)> ExecuteHook;

private:
    QWidget* owner_;
};

} // namespace zj
