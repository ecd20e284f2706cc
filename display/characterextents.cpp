#include "characterextents.h"

#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace {

// Item views show a line feed as a line separator and break lines there only.
bool isLineBreak(char32_t character)
{
    return character == u'\n' || character == QChar::LineSeparator;
}

} // namespace

CharacterExtents::CharacterExtents(const QFont &font)
    : m_font(font)
{
}

void CharacterExtents::setFont(const QFont &font)
{
    m_font = font;
    std::fill(std::begin(basicPlanePages), std::end(basicPlanePages), nullptr);
    otherExtents.clear();
    besideExtents.clear();
}

CharacterExtents::TextExtent CharacterExtents::estimate(const QString &text)
{
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
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t character = text.at(i).unicode();
        if (QChar::isHighSurrogate(character) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            character = QChar::surrogateToUcs4(character, text.at(++i).unicode());
        characters.append(isLineBreak(character) ? char32_t(QChar::LineSeparator) : character);
    }
    // Each character is drawn in the script of the last one before it that
    // has a script of its own (a mark only where none has), or of the first
    // such one if there is none before it. Punctuation, digits and spaces
    // take the fonts of that script; after Latin letters they keep those they
    // have on their own. A mark is drawn on its base.
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
        // A line ends at a break or at the end of the text; one that holds
        // nothing is as tall as an empty line after a break.
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
    return {float(widest), height};
}

// The extent of the text from the given position on, laid out after what
// comes before it: its width, and the ascent and descent of the fonts that
// draw it, or of the empty line that follows it where it breaks the line.
CharacterExtents::Extent CharacterExtents::layOut(const QString &text, int from) const
{
    QTextLayout layout(text, m_font);
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

const CharacterExtents::Extent &CharacterExtents::extent(char32_t character)
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

const CharacterExtents::Extent &CharacterExtents::extent(char32_t character, char32_t base)
{
    Extent &known = besideExtents[(quint64(extent(base).script) << 32) | character];
    if (known.width < 0) {
        const QString baseText = QStringView(QChar::fromUcs4(base)).toString();
        known = layOut(baseText + QStringView(QChar::fromUcs4(character)).toString(), int(baseText.size()));
    }
    return known;
}
