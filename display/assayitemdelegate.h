#pragma once

#include <QFont>
#include <QList>
#include <QStyledItemDelegate>

class AssayFilterModel;

// Lets the assay list lay out its rows as one size without losing the width
// of the longest name. A list with uniform item sizes asks one row for the
// size of all; this delegate answers with the widest row the filter shows, so
// the list still scrolls sideways to the end of a long name instead of
// cutting it, exactly as when it measured every row.
class AssayItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    AssayItemDelegate(const AssayFilterModel *rows, QObject *parent);

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int widestShownRow(const QFont &font) const;

    const AssayFilterModel *rows;
    // In widthsFont: the width of each character met so far, and the
    // estimated width of each source row's name, added up once per set of
    // names, so that a search or a resize only compares numbers.
    mutable QFont widthsFont;
    mutable QList<int> charWidths;
    mutable QList<int> estimatedWidths;
    mutable int measuredNames = -1;
};
