#include "richprint.h"

#include "exceptions.h"
#include "filedialogs.h"
#include "richedit.h"

#include <QFontMetrics>
#include <QPainter>

namespace zj {

TTextPrinter::TTextPrinter() : QsciPrinter(QPrinter::HighResolution)
{
    setWrapMode(QsciScintilla::WrapWord);
}

void TTextPrinter::Print(TRichEdit& text)
{
    headerFont_ = text.EditorFont();
    QPainter painter;
    if (!painter.begin(this)) {
        if (!outputFileName().isEmpty())
            throw EFCreateError("Cannot create file " + FileNameFromQt(outputFileName()));
        throw Exception("Cannot print on " + printerName().toStdString());
    }
    printRange(&text, painter);
}

void TTextPrinter::formatPage(QPainter& painter, bool drawing, QRect& area, int pageNumber)
{
    // The header: the title at the left, the page number at the right, a
    // rule below; the text starts under it.
    const QFontMetrics metrics(headerFont_, painter.device());
    const int lineHeight = metrics.height();
    if (drawing) {
        const QString page = QStringLiteral("Page %1").arg(pageNumber);
        const int pageWidth = metrics.horizontalAdvance(page);
        const QString title = metrics.elidedText(Title, Qt::ElideMiddle, area.width() - pageWidth - lineHeight);
        const int baseline = area.top() + metrics.ascent();
        painter.save();
        painter.setFont(headerFont_);
        painter.setPen(Qt::black);
        painter.drawText(area.left(), baseline, title);
        painter.drawText(area.right() - pageWidth, baseline, page);
        const int rule = area.top() + lineHeight + lineHeight / 4;
        painter.drawLine(area.left(), rule, area.right(), rule);
        painter.restore();
    }
    area.setTop(area.top() + lineHeight + lineHeight / 2);
}

} // namespace zj
