#pragma once

#include <Qsci/qsciprinter.h>

#include <QFont>
#include <QString>

namespace zj {

class TRichEdit;

// Prints a text control's whole text as it shows it, in its font and
// colours, long lines wrapped, each page headed by Title and its number.
class TTextPrinter : public QsciPrinter {
public:
    TTextPrinter();

    QString Title;

    // Raises an error when the printer or the output file cannot be opened.
    void Print(TRichEdit& text);

protected:
    void formatPage(QPainter& painter, bool drawing, QRect& area, int pageNumber) override;

private:
    QFont headerFont_;
};

} // namespace zj
