#pragma once

#include <QApplication>
#include <QString>

#include <exception>
#include <type_traits>
#include <utility>

namespace zj {

// The program's title: the caption of the error box and the text of the about
// box. Kept apart from Qt's display name, which window systems append to every
// window caption.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

// Moves a window, frame included, to the middle of the work area of its
// screen. Called as it is shown, when its size is known.
void CentreOnScreen(QWidget* window);

// Shows an error that reached the top of an event in the standard error box.
void HandleException(const std::exception& error);

// Wraps a handler so that its errors end up in the standard error box and the
// program goes on; Qt must never see an exception. Signal arguments the
// handler does not take are dropped.
template <class F>
auto Guarded(F handler)
{
    return [handler = std::move(handler)](auto&&... args) {
        try {
            if constexpr (std::is_invocable_v<const F&, decltype(args)...>)
                handler(std::forward<decltype(args)>(args)...);
            else
                handler();
        } catch (const std::exception& error) {
            HandleException(error);
        }
    };
}

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    // Last line of defence for errors raised inside event handlers.
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace zj
