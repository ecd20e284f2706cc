#include "onscreen.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QEvent>
#include <QScreen>
#include <QWindow>

namespace {

// Qt on Wayland knows no work area: the available geometry is the whole
// output, and the compositor places a new window below its panel. Weston's
// panel measured 32 pixels; the title bar, which Qt draws itself there, is
// known as the window's frame once it is shown.
constexpr int WaylandPanelHeight = 32;

// The screen QDialog::adjustPosition centres a window on: its parent's,
// else its transient parent's, else, with several screens, the one under
// the mouse, else the window's own.
QScreen *screenToShowOn(const QWidget *window)
{
    if (const QWidget *parent = window->parentWidget())
        return parent->window()->screen();
    const QWindow *handle = window->windowHandle();
    if (const QWindow *transientParent = handle ? handle->transientParent() : nullptr)
        return transientParent->screen();
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (primary && primary->virtualSiblings().size() > 1) {
        if (QScreen *underCursor = QGuiApplication::screenAt(QCursor::pos()))
            return underCursor;
    }
    return window->screen();
}

bool placedByCompositor()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QRect availableArea(const QScreen *screen)
{
    QRect area = screen->availableGeometry();
    if (placedByCompositor() && area == screen->geometry())
        area.setTop(area.top() + WaylandPanelHeight);
    return area;
}

// What the platform adds around the window: known to the platform window
// once the window manager has framed it, and otherwise taken from the windows
// it already frames.
QSize windowFrame(const QWidget *window)
{
    QMargins margins;
    if (const QWindow *handle = window->windowHandle())
        margins = handle->frameMargins();
    QSize frame(margins.left() + margins.right(), margins.top() + margins.bottom());
    for (const QWidget *shown : QApplication::topLevelWidgets()) {
        if (shown->isVisible())
            frame = frame.expandedTo(shown->frameGeometry().size() - shown->size());
    }
    return frame;
}

QSize roomOn(const QScreen *screen, const QWidget *window)
{
    if (!screen)
        return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    return availableArea(screen).size() - windowFrame(window);
}

void fitInto(const QScreen *screen, QWidget *window)
{
    const QSize fitted = window->size().boundedTo(roomOn(screen, window)).expandedTo(window->minimumSizeHint());
    if (fitted != window->size())
        window->resize(fitted);
}

// Moves a shown window's frame into the available area. Where the compositor
// places windows (Wayland), the move does nothing.
void moveIntoArea(QWidget *window)
{
    const QRect area = availableArea(window->screen());
    // The frame as the platform knows it now: QWidget::move() would place it
    // by the frame the widget last heard of, which can be one half made.
    const QMargins margins = window->windowHandle()->frameMargins();
    QRect frame = window->geometry().marginsAdded(margins);
    if (area.contains(frame))
        return;
    frame.moveRight(qMin(frame.right(), area.right()));
    frame.moveLeft(qMax(frame.left(), area.left()));
    frame.moveBottom(qMin(frame.bottom(), area.bottom()));
    frame.moveTop(qMax(frame.top(), area.top()));
    window->setGeometry(frame.marginsRemoved(margins));
}

class ScreenKeeper : public QObject
{
public:
    explicit ScreenKeeper(QDialog *dialog)
        : QObject(dialog)
        , dialog(dialog)
    {
        dialog->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == dialog) {
            // A filter sees the show event before QDialog::showEvent centres
            // the dialog, which is then centred at its fitted size.
            if (event->type() == QEvent::Show && !event->spontaneous()) {
                fitInto(screenToShowOn(dialog), dialog);
                QWindow *window = dialog->windowHandle();
                awaitingFrame = window->frameMargins().isNull();
                window->installEventFilter(this);
            } else if (event->type() == QEvent::Hide) {
                awaitingFrame = false;
            }
        } else if (awaitingFrame && event->type() == QEvent::Expose
                   && !dialog->windowHandle()->frameMargins().isNull()) {
            // Not at the moves and resizes before: while the window manager
            // reparents the window, Qt can read a frame half made.
            awaitingFrame = false;
            fitInto(dialog->screen(), dialog);
            moveIntoArea(dialog);
        }
        return false;
    }

private:
    QDialog *const dialog;
    // Shown before its frame was known: with no window manager, for good.
    bool awaitingFrame = false;
};

} // namespace

void keepOnScreen(QDialog *dialog)
{
    new ScreenKeeper(dialog);
}

void resizeWithinScreen(QWidget *window, const QSize &size)
{
    QSize room = roomOn(window->screen(), window);
    // A compositor that places windows itself keeps a window's top left
    // where it is and tells no client where that is (Wayland): a shown
    // window that grew could push its bottom off the output.
    if (window->isVisible() && placedByCompositor())
        room = room.boundedTo(window->size());
    const QSize fitted = size.boundedTo(room).expandedTo(window->minimumSizeHint());
    if (fitted != window->size())
        window->resize(fitted);
    if (window->isVisible())
        moveIntoArea(window);
}
