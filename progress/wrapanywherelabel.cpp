#include "wrapanywherelabel.h"

#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <QTextOption>

#include <cmath>
#include <limits>

QSize WrapAnywhereLabel::sizeHint() const
{
    QTextLayout layout;
    const QSizeF oneLine = layOut(layout, std::numeric_limits<qreal>::max() / 2);
    const QMargins margins = contentsMargins();
    return QSize(int(std::ceil(oneLine.width())) + margins.left() + margins.right(),
                 int(std::ceil(oneLine.height())) + margins.top() + margins.bottom());
}

QSize WrapAnywhereLabel::minimumSizeHint() const
{
    // As narrow as a widest character, as high as one line: the layout gives
    // it more height through heightForWidth.
    const QMargins margins = contentsMargins();
    return QSize(fontMetrics().maxWidth() + margins.left() + margins.right(),
                 fontMetrics().height() + margins.top() + margins.bottom());
}

bool WrapAnywhereLabel::hasHeightForWidth() const
{
    return true;
}

int WrapAnywhereLabel::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    QTextLayout layout;
    const QSizeF size = layOut(layout, qMax(1, width - margins.left() - margins.right()));
    return qMax(int(std::ceil(size.height())), fontMetrics().height()) + margins.top() + margins.bottom();
}

void WrapAnywhereLabel::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    const QRect area = contentsRect();
    QTextLayout layout;
    const QSizeF size = layOut(layout, area.width());
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    if (size.height() <= area.height()) {
        // Centred vertically, as a QLabel places its text.
        layout.draw(&painter, QPointF(area.left(), area.top() + (area.height() - size.height()) / 2));
        return;
    }
    // Higher than the screen lets the dialog grow: the lines that fit, the
    // last of them cut at the end.
    int shown = 1;
    while (shown < layout.lineCount() && layout.lineAt(shown).rect().bottom() <= area.height())
        ++shown;
    for (int line = 0; line < shown - 1; ++line)
        layout.lineAt(line).draw(&painter, area.topLeft());
    const QTextLine last = layout.lineAt(shown - 1);
    QString rest = layout.text().mid(last.textStart());
    rest.replace(QChar::LineSeparator, QLatin1Char(' '));
    painter.drawText(QRectF(area.left(), area.top() + last.y(), area.width(), last.height()),
                     int(QStyle::visualAlignment(layoutDirection(), Qt::AlignLeft)),
                     fontMetrics().elidedText(rest, Qt::ElideRight, area.width()));
}

QSizeF WrapAnywhereLabel::layOut(QTextLayout &layout, qreal width) const
{
    QTextOption wrapping;
    wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    wrapping.setTextDirection(layoutDirection());
    // A line feed is a line break here, as where QPainter draws plain text.
    QString shown = text();
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    layout.setText(shown);
    layout.setFont(font());
    layout.setTextOption(wrapping);
    qreal height = 0;
    qreal widest = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
        widest = qMax(widest, line.naturalTextWidth());
    }
    layout.endLayout();
    return QSizeF(widest, height);
}
