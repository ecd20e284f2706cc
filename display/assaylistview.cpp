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
