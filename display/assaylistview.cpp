#include "assaylistview.h"

#include <QApplication>
#include <QKeyEvent>

void AssayListView::keyboardSearch(const QString &search)
{
    QListView::keyboardSearch(search);
    sinceSearchKey.start();
}

void AssayListView::keyPressEvent(QKeyEvent *event)
{
    if (endsTyping(event->key()))
        sinceSearchKey.invalidate();
    // The view itself forgets what was typed after the same interval.
    const bool typingAhead = sinceSearchKey.isValid()
        && !sinceSearchKey.hasExpired(QApplication::keyboardInputInterval());
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && typingAhead) {
        keyboardSearch(event->text());
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void AssayListView::mousePressEvent(QMouseEvent *event)
{
    sinceSearchKey.invalidate();
    QListView::mousePressEvent(event);
}

bool AssayListView::endsTyping(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}
