#include "assayfiltermodel.h"

#include <algorithm>

AssayFilterModel::AssayFilterModel(QObject *parent)
    : QAbstractProxyModel(parent)
{
}

void AssayFilterModel::setSourceModel(QAbstractItemModel *source)
{
    beginResetModel();
    if (sourceModel())
        disconnect(sourceModel(), nullptr, this, nullptr);
    QAbstractProxyModel::setSourceModel(source);
    if (source) {
        // Anything but a change of data rebuilds the rows from scratch: the
        // dialog only ever clears its model and fills it at once.
        using Model = QAbstractItemModel;
        connect(source, &Model::modelAboutToBeReset, this, &AssayFilterModel::beginSourceChange);
        connect(source, &Model::modelReset, this, &AssayFilterModel::endSourceChange);
        connect(source, &Model::layoutAboutToBeChanged, this, &AssayFilterModel::beginSourceChange);
        connect(source, &Model::layoutChanged, this, &AssayFilterModel::endSourceChange);
        connect(source, &Model::rowsAboutToBeInserted, this, &AssayFilterModel::beginSourceChange);
        connect(source, &Model::rowsInserted, this, &AssayFilterModel::endSourceChange);
        connect(source, &Model::rowsAboutToBeRemoved, this, &AssayFilterModel::beginSourceChange);
        connect(source, &Model::rowsRemoved, this, &AssayFilterModel::endSourceChange);
        connect(source, &Model::rowsAboutToBeMoved, this, &AssayFilterModel::beginSourceChange);
        connect(source, &Model::rowsMoved, this, &AssayFilterModel::endSourceChange);
        connect(source, &Model::columnsAboutToBeInserted, this, &AssayFilterModel::beginSourceChange);
        connect(source, &Model::columnsInserted, this, &AssayFilterModel::endSourceChange);
        connect(source, &Model::columnsAboutToBeRemoved, this, &AssayFilterModel::beginSourceChange);
        connect(source, &Model::columnsRemoved, this, &AssayFilterModel::endSourceChange);
        connect(source, &Model::columnsAboutToBeMoved, this, &AssayFilterModel::beginSourceChange);
        connect(source, &Model::columnsMoved, this, &AssayFilterModel::endSourceChange);
        connect(source, &Model::dataChanged, this, &AssayFilterModel::forwardDataChanged);
    }
    readNames();
    setShownRows(matchingRows());
    endResetModel();
}

void AssayFilterModel::setFilterFixedString(const QString &text)
{
    filterText = text;
    refilter();
}

QModelIndex AssayFilterModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= shownRows.size() || column < 0 || column >= columnCount())
        return QModelIndex();
    return createIndex(row, column);
}

QModelIndex AssayFilterModel::parent(const QModelIndex &) const
{
    return QModelIndex();
}

int AssayFilterModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(shownRows.size());
}

int AssayFilterModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !sourceModel() ? 0 : sourceModel()->columnCount();
}

bool AssayFilterModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0 && columnCount(parent) > 0;
}

QModelIndex AssayFilterModel::mapToSource(const QModelIndex &proxyIndex) const
{
    if (!proxyIndex.isValid() || !sourceModel() || proxyIndex.row() >= shownRows.size())
        return QModelIndex();
    return sourceModel()->index(shownRows.at(proxyIndex.row()), proxyIndex.column());
}

QModelIndex AssayFilterModel::mapFromSource(const QModelIndex &sourceIndex) const
{
    if (!sourceIndex.isValid() || sourceIndex.parent().isValid() || sourceIndex.row() >= shownRowOfSource.size())
        return QModelIndex();
    const int row = shownRowOfSource.at(sourceIndex.row());
    return row < 0 ? QModelIndex() : createIndex(row, sourceIndex.column());
}

int AssayFilterModel::sourceNameCount() const
{
    return int(nameEnds.size());
}

QStringView AssayFilterModel::sourceName(int sourceRow) const
{
    const qsizetype start = sourceRow == 0 ? 0 : nameEnds.at(sourceRow - 1);
    return QStringView(names).sliced(start, nameEnds.at(sourceRow) - start);
}

int AssayFilterModel::namesRead() const
{
    return namesReadCount;
}

const QList<int> &AssayFilterModel::shownSourceRows() const
{
    return shownRows;
}

void AssayFilterModel::readNames()
{
    ++namesReadCount;
    names.clear();
    nameEnds.clear();
    const int count = sourceModel() && sourceModel()->columnCount() > 0 ? sourceModel()->rowCount() : 0;
    nameEnds.reserve(count);
    for (int row = 0; row < count; ++row) {
        names += sourceModel()->index(row, 0).data().toString();
        nameEnds.append(names.size());
    }
}

QList<int> AssayFilterModel::matchingRows() const
{
    QList<int> rows;
    rows.reserve(nameEnds.size());
    for (int row = 0; row < sourceNameCount(); ++row) {
        if (filterText.isEmpty() || sourceName(row).contains(filterText, Qt::CaseInsensitive))
            rows.append(row);
    }
    return rows;
}

void AssayFilterModel::setShownRows(QList<int> rows)
{
    shownRows = std::move(rows);
    const int count = sourceModel() ? sourceModel()->rowCount() : 0;
    shownRowOfSource.fill(-1, count);
    for (qsizetype row = 0; row < shownRows.size(); ++row)
        shownRowOfSource[shownRows.at(row)] = int(row);
}

void AssayFilterModel::refilter()
{
    QList<int> rows = matchingRows();
    if (rows == shownRows)
        return;
    Q_EMIT layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    QList<int> sourceRows;
    sourceRows.reserve(before.size());
    for (const QModelIndex &index : before)
        sourceRows.append(shownRows.at(index.row()));
    setShownRows(std::move(rows));
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const int row = shownRowOfSource.at(sourceRows.at(i));
        after.append(row < 0 ? QModelIndex() : createIndex(row, before.at(i).column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged();
}

void AssayFilterModel::beginSourceChange()
{
    if (pendingSourceChanges++ == 0)
        beginResetModel();
}

void AssayFilterModel::endSourceChange()
{
    if (--pendingSourceChanges > 0)
        return;
    readNames();
    setShownRows(matchingRows());
    endResetModel();
}

void AssayFilterModel::forwardDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                          const QList<int> &roles)
{
    if (!topLeft.isValid() || topLeft.parent().isValid())
        return;
    if (roles.isEmpty() || roles.contains(Qt::DisplayRole)) {
        // A new name may match the filter, or no longer.
        readNames();
        refilter();
    }
    // The shown rows within the changed ones follow each other.
    const auto first = std::lower_bound(shownRows.cbegin(), shownRows.cend(), topLeft.row());
    const auto last = std::upper_bound(first, shownRows.cend(), bottomRight.row());
    if (first == last)
        return;
    Q_EMIT dataChanged(createIndex(int(first - shownRows.cbegin()), topLeft.column()),
                       createIndex(int(last - shownRows.cbegin()) - 1, bottomRight.column()), roles);
}
