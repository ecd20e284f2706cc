#include "assayrowsizingdelegate.h"

#include "namechanges.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QStyle>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// How many of the shown rows whose names look widest are laid out whole.
constexpr int measuredCandidates = 16;

} // namespace

AssayRowSizingDelegate::AssayRowSizingDelegate(const QAbstractProxyModel *rows, QWidget *view)
    : QStyledItemDelegate(view)
    , rows(rows)
    , characters(view->font())
{
    // The names are measured when they change, so that showing the list or
    // searching it lays out no more than a few of them.
    connectNameChanges(rows->sourceModel(), this, [this] {
        measureNames();
        forgetShownRows();
    });
    connect(rows, &QAbstractItemModel::modelReset, this, &AssayRowSizingDelegate::forgetShownRows);
    connect(rows, &QAbstractItemModel::layoutChanged, this, &AssayRowSizingDelegate::forgetShownRows);
    connect(rows, &QAbstractItemModel::rowsInserted, this, &AssayRowSizingDelegate::forgetShownRows);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &AssayRowSizingDelegate::forgetShownRows);
    measureNames();
}

QSize AssayRowSizingDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (index.model() != rows)
        return QStyledItemDelegate::sizeHint(option, index);
    if (option.font != characters.font()) {
        characters.setFont(option.font);
        rowHeights.clear();
        measureNames();
        forgetShownRows();
    }
    if (widestShown < 0)
        widestShown = widestShownRow(option);

    int textHeight = commonTextHeight;
    if (textHeight < 0) {
        // Looked up once per shown row, not at every layout of the list.
        if (shownTextHeights.isEmpty()) {
            shownTextHeights.resize(rows->rowCount());
            for (int row = 0; row < shownTextHeights.size(); ++row)
                shownTextHeights[row] = textHeights.at(rows->mapToSource(rows->index(row, 0)).row());
        }
        textHeight = shownTextHeights.at(index.row());
    }
    auto height = rowHeights.constFind(textHeight);
    if (height == rowHeights.cend())
        height = rowHeights.insert(textHeight, QStyledItemDelegate::sizeHint(option, index).height());
    return {widestShown, *height};
}

void AssayRowSizingDelegate::measureNames() const
{
    const QAbstractItemModel *names = rows->sourceModel();
    const int count = names->columnCount() > 0 ? names->rowCount() : 0;
    estimatedWidths.resize(count);
    textHeights.resize(count);
    for (int row = 0; row < count; ++row) {
        const QString name = names->index(row, 0).data().toString();
        const CharacterExtents::TextExtent extent = characters.estimate(name);
        estimatedWidths[row] = extent.width;
        // Without text the style may leave out the text's room altogether.
        textHeights[row] = name.isEmpty() ? 0 : extent.height;
    }
    widestFirst.resize(count);
    std::iota(widestFirst.begin(), widestFirst.end(), 0);
    std::sort(widestFirst.begin(), widestFirst.end(),
              [this](int a, int b) { return estimatedWidths.at(a) > estimatedWidths.at(b); });
    const bool oneHeight = std::all_of(textHeights.cbegin(), textHeights.cend(),
                                       [this](int height) { return height == textHeights.first(); });
    commonTextHeight = oneHeight && count > 0 ? textHeights.first() : -1;
}

void AssayRowSizingDelegate::forgetShownRows() const
{
    widestShown = -1;
    shownTextHeights.clear();
}

int AssayRowSizingDelegate::widestShownRow(const QStyleOptionViewItem &option) const
{
    // The shown rows that look widest are laid out whole, the others go by
    // the widest estimate among them.
    const QAbstractItemModel *names = rows->sourceModel();
    int measured = 0;
    int width = 0;
    for (int sourceRow : std::as_const(widestFirst)) {
        const QModelIndex shown = rows->mapFromSource(names->index(sourceRow, 0));
        if (!shown.isValid())
            continue;
        if (measured++ == measuredCandidates) {
            const int estimate = int(std::ceil(estimatedWidths.at(sourceRow)));
            return std::max(width, widthBesideText(option, shown) + estimate);
        }
        width = std::max(width, QStyledItemDelegate::sizeHint(option, shown).width());
    }
    return width;
}

int AssayRowSizingDelegate::widthBesideText(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem blank = option;
    initStyleOption(&blank, index);
    blank.text.clear();
    const QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    return style->sizeFromContents(QStyle::CT_ItemViewItem, &blank, QSize(), option.widget).width();
}
