#include "assayfiltermodel.h"

#include "accessiblerows.h"
#include "namechanges.h"

void AssayFilterModel::setSourceModel(QAbstractItemModel *source)
{
    if (sourceModel())
        disconnect(sourceModel(), nullptr, &namesWatch, nullptr);
    // Connected before the base class connects its own, so that the names
    // are read again before it filters new or changed rows.
    if (source)
        connectNameChanges(source, &namesWatch, [this] { readNames(); });
    QSortFilterProxyModel::setSourceModel(source);
    readNames();
}

void AssayFilterModel::setSearchText(const QString &text)
{
    if (text == searchText)
        return;
    searchText = text;
    invalidate();
}

QVariant AssayFilterModel::data(const QModelIndex &index, int role) const
{
    // A screen reader reads a checked list row's CHECKED state itself; the
    // words would have it say "checked" twice.
    if (checkStateGoesIntoDescription && role == Qt::AccessibleDescriptionRole) {
        const QVariant checkState = QSortFilterProxyModel::data(index, Qt::CheckStateRole);
        return checkState.toInt() == Qt::Checked ? QString() : checkStateInWords(checkState);
    }
    return QSortFilterProxyModel::data(index, role);
}

bool AssayFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (searchText.isEmpty())
        return true;
    const qsizetype start = sourceRow == 0 ? 0 : nameEnds.at(sourceRow - 1);
    return QStringView(names).sliced(start, nameEnds.at(sourceRow) - start).contains(searchText, Qt::CaseInsensitive);
}

void AssayFilterModel::readNames()
{
    names.clear();
    nameEnds.clear();
    const QAbstractItemModel *source = sourceModel();
    const int count = source && source->columnCount() > 0 ? source->rowCount() : 0;
    nameEnds.reserve(count);
    for (int row = 0; row < count; ++row) {
        names += source->index(row, 0).data().toString();
        nameEnds.append(names.size());
    }
}
