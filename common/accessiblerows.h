#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>

class QAbstractItemView;

// Qt's AT-SPI bridge reports no CHECKABLE state before Qt 6.8 (6.4 reports
// none, even for a QCheckBox; 6.8 reports it for rows), nor a partially checked
// row, and Orca 43 then says nothing about an unchecked row. There, the models
// give a row its check state in words as its accessible description (see
// checkStateInWords) wherever Orca does not already read it from CHECKED.
inline constexpr bool checkStateGoesIntoDescription = QT_VERSION < QT_VERSION_CHECK(6, 8, 0);

// "checked", "not checked" or "partially checked" for a row's Qt::CheckStateRole
// data; empty for a row without a check box.
QString checkStateInWords(const QVariant &checkState);

// Lets assistive technology follow the check boxes of `view`'s rows:
// focus moving into the view goes on to its current row, and a change of the
// current row's check state (Space, a click, or a change of many rows at
// once, as Select all makes it) is announced for that row alone; one event per
// changed row would hold up a change of 100,000 rows. Call once the view has
// its model.
void announceCurrentRow(QAbstractItemView *view);
