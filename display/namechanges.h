#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QObject>

// Calls react() after every change of `model` that can change the display
// text of its rows, or which rows there are, the connections living as long
// as `context`.
template <class React>
void connectNameChanges(const QAbstractItemModel *model, const QObject *context, React react)
{
    using Model = QAbstractItemModel;
    QObject::connect(model, &Model::modelReset, context, react);
    QObject::connect(model, &Model::layoutChanged, context, react);
    QObject::connect(model, &Model::rowsInserted, context, react);
    QObject::connect(model, &Model::rowsRemoved, context, react);
    QObject::connect(model, &Model::rowsMoved, context, react);
    QObject::connect(model, &Model::columnsInserted, context, react);
    QObject::connect(model, &Model::columnsRemoved, context, react);
    QObject::connect(model, &Model::dataChanged, context,
                     [react](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                         if (roles.isEmpty() || roles.contains(Qt::DisplayRole))
                             react();
                     });
}
