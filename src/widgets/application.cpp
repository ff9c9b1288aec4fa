#include "application.h"

#include "msgdialogs.h"

#include <QScreen>
#include <QWidget>

namespace zj {

namespace {
QString Title;
}

QString ApplicationTitle()
{
    return Title;
}

void SetApplicationTitle(const QString& title)
{
    Title = title;
}

void CentreOnScreen(QWidget* window)
{
    if (QScreen* screen = window->screen())
        window->move(screen->availableGeometry().center() - QRect(QPoint(), window->frameGeometry().size()).center());
}

void HandleException(const std::exception& error)
{
    ShowErrorBox(QString::fromLocal8Bit(error.what()));
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        HandleException(error);
        return false;
    }
}

} // namespace zj
