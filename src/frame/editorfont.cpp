#include "editorfont.h"

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
    font.setPixelSize(static_cast<int>(std::lround(points * static_cast<double>(ppi) / 72.0)));
}

int FontSize(const QFont& font, int ppi)
{
    return static_cast<int>(std::lround(font.pixelSize() * 72.0 / ppi));
}

} // namespace zj
