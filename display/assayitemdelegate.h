#pragma once

#include <QFont>
#include <QHash>
#include <QList>
#include <QStyledItemDelegate>

#include <memory>

class QAbstractProxyModel;

// Sizes the rows of the assay list without laying out every name, which takes
// microseconds a name: too long for 100,000 names at each layout of the list.
// Every row is as wide as the widest row shown, so that the list scrolls
// sideways to the end of the longest name: the names that look widest are
// laid out, the width of the others is estimated from their characters, and
// the estimate may add a few pixels. Each row is as tall as the style makes a
// row with its lines of text in the fonts that its characters are drawn in.
class AssayItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // rows: the view's model; the names are the display texts of its source.
    AssayItemDelegate(const QAbstractProxyModel *rows, QWidget *view);

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    // A character as laid out in the font of the rows.
    struct Extent
    {
        float width = -1;
        float ascent = 0;
        float descent = 0;
        // Of the character laid out on its own.
        quint8 script = QChar::Script_Unknown;
        bool mark = false;
    };

    Extent layOut(const QString &text, int from) const;
    const Extent &extent(char32_t character) const;
    const Extent &extent(char32_t character, char32_t base) const;
    void measureNames() const;
    void forgetShownRows() const;
    int widestShownRow(const QStyleOptionViewItem &option) const;
    int widthBesideText(const QStyleOptionViewItem &option, const QModelIndex &index) const;

    const QAbstractProxyModel *rows;
    // Everything below holds for this font.
    mutable QFont font;
    // By character: those of the basic plane in pages of 256, made when met.
    mutable std::unique_ptr<Extent[]> basicPlanePages[256];
    mutable QHash<char32_t, Extent> otherExtents;
    // Characters drawn in the script of a letter before them, by script and character.
    mutable QHash<quint64, Extent> besideExtents;
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
