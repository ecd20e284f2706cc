#include "assayitemdelegate.h"

#include "assayfiltermodel.h"

#include <QFontMetrics>
#include <QListView>

AssayItemDelegate::AssayItemDelegate(const AssayFilterModel *rows, QObject *parent)
    : QStyledItemDelegate(parent)
    , rows(rows)
{
}

QSize AssayItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto *list = qobject_cast<const QListView *>(option.widget);
    if (!list || !list->uniformItemSizes())
        return QStyledItemDelegate::sizeHint(option, index);
    const int widest = widestShownRow(option.font);
    return QStyledItemDelegate::sizeHint(option, widest < 0 ? index : rows->index(widest, 0));
}

int AssayItemDelegate::widestShownRow(const QFont &font) const
{
    if (measuredNames != rows->namesRead() || widthsFont != font) {
        const QFontMetrics metrics(font);
        nameWidths.resize(rows->sourceNameCount());
        for (int row = 0; row < rows->sourceNameCount(); ++row)
            nameWidths[row] = metrics.horizontalAdvance(rows->sourceName(row).toString());
        measuredNames = rows->namesRead();
        widthsFont = font;
    }
    const QList<int> &shown = rows->shownSourceRows();
    int widest = -1;
    for (int row = 0; row < shown.size(); ++row) {
        if (widest < 0 || nameWidths.at(shown.at(row)) > nameWidths.at(shown.at(widest)))
            widest = row;
    }
    return widest;
}
