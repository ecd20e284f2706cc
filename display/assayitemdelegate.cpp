#include "assayitemdelegate.h"

#include "namechanges.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QGlyphRun>
#include <QRawFont>
#include <QStyle>
#include <QTextLayout>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

namespace {

// How many of the shown rows whose names look widest are laid out whole.
constexpr int measuredCandidates = 16;

// Item views show a line feed as a line separator and break lines there only.
bool isLineBreak(char32_t character)
{
    return character == u'\n' || character == QChar::LineSeparator;
}

} // namespace

AssayItemDelegate::AssayItemDelegate(const QAbstractProxyModel *rows, QWidget *view)
    : QStyledItemDelegate(view)
    , rows(rows)
    , font(view->font())
{
    // The names are measured when they change, so that showing the list or
    // searching it lays out no more than a few of them.
    connectNameChanges(rows->sourceModel(), this, [this] {
        measureNames();
        forgetShownRows();
    });
    connect(rows, &QAbstractItemModel::modelReset, this, &AssayItemDelegate::forgetShownRows);
    connect(rows, &QAbstractItemModel::layoutChanged, this, &AssayItemDelegate::forgetShownRows);
    connect(rows, &QAbstractItemModel::rowsInserted, this, &AssayItemDelegate::forgetShownRows);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &AssayItemDelegate::forgetShownRows);
    measureNames();
}

QSize AssayItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (index.model() != rows)
        return QStyledItemDelegate::sizeHint(option, index);
    if (option.font != font) {
        font = option.font;
        std::fill(std::begin(basicPlanePages), std::end(basicPlanePages), nullptr);
        otherExtents.clear();
        besideExtents.clear();
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

// The extent of the text from the given position on, laid out after what
// comes before it: its width, and the ascent and descent of the fonts that
// draw it, or of the empty line that follows it where it breaks the line.
AssayItemDelegate::Extent AssayItemDelegate::layOut(const QString &text, int from) const
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    const QTextLine next = layout.createLine();
    layout.endLayout();
    Extent extent{float(line.horizontalAdvance()), 0, 0};
    const QList<QGlyphRun> runs = layout.glyphRuns(from);
    for (const QGlyphRun &run : runs) {
        extent.ascent = std::max(extent.ascent, float(run.rawFont().ascent()));
        extent.descent = std::max(extent.descent, float(run.rawFont().descent()));
    }
    if (next.isValid() || runs.isEmpty()) {
        const QTextLine &empty = next.isValid() ? next : line;
        extent.ascent = float(empty.ascent());
        extent.descent = float(empty.descent());
    }
    if (from > 0)
        extent.width -= float(layOut(text.left(from), 0).width);
    return extent;
}

const AssayItemDelegate::Extent &AssayItemDelegate::extent(char32_t character) const
{
    Extent *known = nullptr;
    if (character < 0x10000) {
        auto &page = basicPlanePages[character >> 8];
        if (!page)
            page = std::make_unique<Extent[]>(256);
        known = &page[character & 0xff];
    } else {
        known = &otherExtents[character];
    }
    if (known->width < 0) {
        *known = layOut(QStringView(QChar::fromUcs4(character)).toString(), 0);
        known->script = quint8(QChar::script(character));
        known->mark = QChar::isMark(character);
    }
    return *known;
}

const AssayItemDelegate::Extent &AssayItemDelegate::extent(char32_t character, char32_t base) const
{
    Extent &known = besideExtents[(quint64(extent(base).script) << 32) | character];
    if (known.width < 0) {
        const QString baseText = QStringView(QChar::fromUcs4(base)).toString();
        known = layOut(baseText + QStringView(QChar::fromUcs4(character)).toString(), int(baseText.size()));
    }
    return known;
}

void AssayItemDelegate::measureNames() const
{
    const QAbstractItemModel *names = rows->sourceModel();
    const int count = names->columnCount() > 0 ? names->rowCount() : 0;
    estimatedWidths.resize(count);
    textHeights.resize(count);
    // extent(character) without its checks, where the character is known.
    const auto alone = [this](char32_t character) -> const Extent & {
        if (character < 0x10000) {
            const Extent *page = basicPlanePages[character >> 8].get();
            if (page && page[character & 0xff].width >= 0)
                return page[character & 0xff];
        }
        return extent(character);
    };
    QVarLengthArray<char32_t, 256> characters;
    for (int row = 0; row < count; ++row) {
        const QString name = names->index(row, 0).data().toString();
        characters.clear();
        for (qsizetype i = 0; i < name.size(); ++i) {
            char32_t character = name.at(i).unicode();
            if (QChar::isHighSurrogate(character) && i + 1 < name.size() && name.at(i + 1).isLowSurrogate())
                character = QChar::surrogateToUcs4(character, name.at(++i).unicode());
            characters.append(isLineBreak(character) ? char32_t(QChar::LineSeparator) : character);
        }
        // Each character is drawn in the script of the last one before it
        // that has a script of its own (a mark only where none has), or of the
        // first such one if there is none before it. Punctuation, digits and
        // spaces take the fonts of that script; after Latin letters they keep
        // those they have on their own. A mark is drawn on its base.
        const auto first = std::find_if(characters.cbegin(), characters.cend(), [&](char32_t character) {
            return alone(character).script > QChar::Script_Common;
        });
        char32_t base = first == characters.cend() ? 0 : *first;
        int baseScript = base == 0 ? int(QChar::Script_Common) : alone(base).script;
        bool baseMet = false;
        const auto inScript = [&](char32_t character) -> const Extent & {
            const Extent &own = alone(character);
            if (own.script > QChar::Script_Common && (!baseMet || !own.mark)) {
                base = character;
                baseScript = own.script;
                baseMet = true;
                return own;
            }
            if (baseScript <= QChar::Script_Latin && !own.mark)
                return own;
            return extent(character, base);
        };

        qreal widest = 0;
        qreal width = 0;
        float ascent = 0;
        float descent = 0;
        int height = 0;
        bool lineEmpty = true;
        for (qsizetype i = 0; i <= characters.size(); ++i) {
            const bool end = i == characters.size();
            if (!end && characters.at(i) != QChar::LineSeparator) {
                const Extent &each = inScript(characters.at(i));
                width += each.width;
                ascent = std::max(ascent, each.ascent);
                descent = std::max(descent, each.descent);
                lineEmpty = false;
                continue;
            }
            // A line ends at a break or at the end of the name; one that
            // holds nothing is as tall as an empty line after a break.
            if (lineEmpty) {
                const Extent &lineBreak = inScript(QChar::LineSeparator);
                ascent = std::max(ascent, lineBreak.ascent);
                descent = std::max(descent, lineBreak.descent);
            }
            widest = std::max(widest, width);
            height += int(std::ceil(ascent + descent));
            width = ascent = descent = 0;
            lineEmpty = true;
        }
        estimatedWidths[row] = float(widest);
        // Without text the style may leave out the text's room altogether.
        textHeights[row] = name.isEmpty() ? 0 : height;
    }
    widestFirst.resize(count);
    std::iota(widestFirst.begin(), widestFirst.end(), 0);
    std::sort(widestFirst.begin(), widestFirst.end(),
              [this](int a, int b) { return estimatedWidths.at(a) > estimatedWidths.at(b); });
    const bool oneHeight = std::all_of(textHeights.cbegin(), textHeights.cend(),
                                       [this](int height) { return height == textHeights.first(); });
    commonTextHeight = oneHeight && count > 0 ? textHeights.first() : -1;
}

void AssayItemDelegate::forgetShownRows() const
{
    widestShown = -1;
    shownTextHeights.clear();
}

int AssayItemDelegate::widestShownRow(const QStyleOptionViewItem &option) const
{
    // The shown rows that look widest are laid out whole, the others go by
    // the widest estimate among them. Adding up characters leaves out
    // kerning and shaping, which mostly make a name a little narrower than
    // its estimate, and rarely a little wider.
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

int AssayItemDelegate::widthBesideText(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem blank = option;
    initStyleOption(&blank, index);
    blank.text.clear();
    const QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    return style->sizeFromContents(QStyle::CT_ItemViewItem, &blank, QSize(), option.widget).width();
}
