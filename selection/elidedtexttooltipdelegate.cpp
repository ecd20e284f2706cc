#include "elidedtexttooltipdelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QTextDocument>
#include <QToolTip>

bool ElidedTextToolTipDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                                          const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip || !index.data(Qt::ToolTipRole).isNull())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    if (sizeHint(option, index).width() <= option.rect.width()) {
        QToolTip::hideText();
        event->ignore();
        return false;
    }
    // Converted, so that a name that looks like markup shows as written.
    QToolTip::showText(event->globalPos(), Qt::convertFromPlainText(index.data().toString()),
                       view->viewport(), option.rect);
    return true;
}
