#include "onscreen.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

// The screen QDialog centres a window on: its parent's, or for a window
// without one, the screen under the mouse.
QScreen *screenToShowOn(const QWidget *window)
{
    if (const QWidget *parent = window->parentWidget())
        return parent->screen();
    if (QScreen *underCursor = QGuiApplication::screenAt(QCursor::pos()))
        return underCursor;
    return window->screen();
}

// What the platform adds around the window: known to the platform window
// where the platform draws the frame itself, and otherwise from the windows
// the window manager already decorates, as it decorates none before it shows it.
QSize windowFrame(QWidget *window)
{
    window->winId();
    const QMargins margins = window->windowHandle()->frameMargins();
    QSize frame(margins.left() + margins.right(), margins.top() + margins.bottom());
    for (const QWidget *shown : QApplication::topLevelWidgets()) {
        if (shown->isVisible())
            frame = frame.expandedTo(shown->frameGeometry().size() - shown->size());
    }
    return frame;
}

} // namespace

void fitIntoScreen(QWidget *window)
{
    const QScreen *screen = screenToShowOn(window);
    if (!screen)
        return;
    const QSize room = screen->availableGeometry().size() - windowFrame(window);
    const QSize fitted = window->size().boundedTo(room).expandedTo(window->minimumSizeHint());
    if (fitted != window->size())
        window->resize(fitted);
}
