#pragma once

#include <QLabel>

class QTextLayout;

// The progress message. Its text wraps at word boundaries, and within a word
// too long for a line, so that the label asks for height rather than width:
// a QLabel wraps at word boundaries only and asks for the width of its
// longest word, so a long path or URL would widen the dialog past the screen.
// Lines beyond its height are left out and the last line shown is cut at the
// end, for a message longer than the screen lets the dialog grow.
class WrapAnywhereLabel : public QLabel
{
public:
    using QLabel::QLabel;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Lays the text out in lines of the given width; returns the size it takes.
    QSizeF layOut(QTextLayout &layout, qreal width) const;
};
