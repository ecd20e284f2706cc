#pragma once

#include "characterextents.h"

#include <QHash>
#include <QList>
#include <QStyledItemDelegate>

class QAbstractProxyModel;

// Sizes the rows of the assay list without laying out every name, which takes
// microseconds a name: a plain QStyledItemDelegate lays out 100,000 names in
// 570 to 3,139 ms at each layout of the list, and QListView's batched layout
// never lets End reach the last row.
// Every row is as wide as the widest row shown, so that the list scrolls
// sideways to the end of the longest name: the names that look widest are
// laid out, the width of the others is estimated from their characters. An
// estimate may be a few pixels too wide, or too narrow where kerning or
// shaping widens a name; no name has been found that this cuts. Each row is
// as tall as the style makes a row with its lines of text in the fonts that
// its characters are drawn in.
class AssayRowSizingDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // rows: the view's model; the names are the display texts of its source.
    AssayRowSizingDelegate(const QAbstractProxyModel *rows, QWidget *view);

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    void measureNames() const;
    void forgetShownRows() const;
    int widestShownRow(const QStyleOptionViewItem &option) const;
    int widthBesideText(const QStyleOptionViewItem &option, const QModelIndex &index) const;

    const QAbstractProxyModel *rows;
    // Everything below holds for its font.
    mutable CharacterExtents characters;
    // Per source row, from its characters' extents: the estimated width of its
    // widest line, and the height of its lines, or one height for all rows.
    mutable QList<float> estimatedWidths;
    mutable QList<int> textHeights;
    // The source rows, widest estimate first.
    mutable QList<int> widestFirst;
    mutable int commonTextHeight = -1;
    // The style's row height for each text height met, from the first row
    // that has it.
    mutable QHash<int, int> rowHeights;
    // For the rows shown: the widest, and each one's text height where those differ.
    mutable int widestShown = -1;
    mutable QList<int> shownTextHeights;
};
