#include "assayitemdelegate.h"

#include "assayfiltermodel.h"

#include <QFontMetrics>
#include <QListView>

#include <algorithm>

namespace {

// How many of the names that look widest are measured for real. Measuring
// shapes the text, kerning included, and costs microseconds a name, too much
// for 100,000 names at every show; adding up the widths of single characters
// costs next to nothing and is off by a few pixels at most.
constexpr qsizetype measuredCandidates = 32;

} // namespace

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
    const QFontMetrics metrics(font);
    if (charWidths.isEmpty() || widthsFont != font) {
        charWidths.fill(-1, 0x10000);
        widthsFont = font;
        measuredNames = -1;
    }
    if (measuredNames != rows->namesRead()) {
        estimatedWidths.resize(rows->sourceNameCount());
        for (int row = 0; row < rows->sourceNameCount(); ++row) {
            int width = 0;
            for (QChar c : rows->sourceName(row)) {
                int &charWidth = charWidths[c.unicode()];
                if (charWidth < 0)
                    charWidth = metrics.horizontalAdvance(c);
                width += charWidth;
            }
            estimatedWidths[row] = width;
        }
        measuredNames = rows->namesRead();
    }

    // The shown rows that look widest, then the widest of them measured.
    QList<int> candidates = rows->shownSourceRows();
    const auto byEstimate = [this](int a, int b) { return estimatedWidths.at(a) > estimatedWidths.at(b); };
    if (candidates.size() > measuredCandidates) {
        std::nth_element(candidates.begin(), candidates.begin() + measuredCandidates, candidates.end(), byEstimate);
        candidates.resize(measuredCandidates);
    }
    int widestSourceRow = -1;
    int widestWidth = -1;
    for (int row : std::as_const(candidates)) {
        const int width = metrics.horizontalAdvance(rows->sourceName(row).toString());
        if (width > widestWidth || (width == widestWidth && row < widestSourceRow)) {
            widestWidth = width;
            widestSourceRow = row;
        }
    }
    return widestSourceRow < 0 ? -1 : rows->mapFromSource(rows->sourceModel()->index(widestSourceRow, 0)).row();
}
