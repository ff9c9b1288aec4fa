#include "editorfont.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace zj {

int ScreenPixelsPerInch()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? static_cast<int>(std::lround(screen->logicalDotsPerInchY())) : 96;
}

void SetFontSize(QFont& font, int points, int ppi)
{
    const int pixels = static_cast<int>(std::lround(points * static_cast<double>(ppi) / 72.0));
    // A size too small to show keeps the font as it was.
    if (pixels > 0)
        font.setPixelSize(pixels);
}

int FontSize(const QFont& font, int ppi)
{
    return static_cast<int>(std::lround(font.pixelSize() * 72.0 / ppi));
}

QFont ShownEditorFont(const QFont& font)
{
    if (QFontDatabase::families().contains(font.family(), Qt::CaseInsensitive))
        return font;
    QFont shown = font;
    shown.setFamily(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    return shown;
}

} // namespace zj
