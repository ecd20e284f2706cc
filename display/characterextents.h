#pragma once

#include <QChar>
#include <QFont>
#include <QHash>
#include <QString>

#include <memory>

// The extents of characters as a text layout draws them in one font, each
// laid out once when first met, so that estimating a text takes a lookup per
// character instead of a layout. A cache of widths from QFontMetricsF was
// tried instead: 555 to 3,356 ms per load of 100,000 names, and it cut names.
class CharacterExtents
{
public:
    // A text's estimated extent: the width of its widest line, and the
    // height of its lines in the fonts that its characters are drawn in.
    struct TextExtent
    {
        float width = 0;
        int height = 0;
    };

    explicit CharacterExtents(const QFont &font);

    const QFont &font() const { return m_font; }
    // Forgets every extent measured in the old font.
    void setFont(const QFont &font);

    // Adds up the text's characters as each is drawn beside the ones before
    // it. That leaves out kerning and shaping, which mostly make a text a
    // little narrower than its estimate and rarely a little wider.
    TextExtent estimate(const QString &text);

private:
    // A character as laid out in the font.
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
    const Extent &extent(char32_t character);
    const Extent &extent(char32_t character, char32_t base);

    QFont m_font;
    // By character: those of the basic plane in pages of 256, made when met.
    // A single hash of all characters makes estimating 1.6 to 1.7 times as slow.
    std::unique_ptr<Extent[]> basicPlanePages[256];
    QHash<char32_t, Extent> otherExtents;
    // Characters drawn in the script of a letter before them, by script and character.
    QHash<quint64, Extent> besideExtents;
};
