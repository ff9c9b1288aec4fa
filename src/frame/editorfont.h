#pragma once

#include <QFont>

namespace zj {

// The editor font's size is kept as a pixel height at the screen's logical
// resolution, the way it is stored and shown elsewhere: s points are
// round(s * ppi / 72) pixels, rounding half away from zero.
int ScreenPixelsPerInch();
void SetFontSize(QFont& font, int points, int ppi = ScreenPixelsPerInch());
int FontSize(const QFont& font, int ppi = ScreenPixelsPerInch());

// The font the text is shown in: font itself, or the desktop's fixed-pitch
// font at its size when its typeface is not installed. The configured name
// is kept for the settings.
QFont ShownEditorFont(const QFont& font);

} // namespace zj
