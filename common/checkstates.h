#pragma once

#include <QAbstractItemModel>
#include <QSignalBlocker>

#include <utility>

// Runs `change`, which sets the check states of rows of `model` and returns
// the first and last index it changed (invalid ones when it changed none),
// with the model's signals blocked, and then announces the whole range as one
// dataChanged. Announced row by row, each change costs the view a lookup of
// the row and a repaint request of its own, and 100,000 rows take seconds.
template <class Change>
void changeCheckStatesAtOnce(QAbstractItemModel *model, Change change)
{
    std::pair<QModelIndex, QModelIndex> changed;
    {
        const QSignalBlocker quiet(model);
        changed = change();
    }
    if (changed.first.isValid())
        Q_EMIT model->dataChanged(changed.first, changed.second, {Qt::CheckStateRole});
}
