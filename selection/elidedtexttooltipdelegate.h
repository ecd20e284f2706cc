#pragma once

#include <QStyledItemDelegate>

// Shows an item's whole text as its tool tip where the view cuts it with
// "…", so that two long names that differ only at their ends can be told
// apart without widening the window. Nothing is measured until the user
// hovers over an item.
class ElidedTextToolTipDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;
};
