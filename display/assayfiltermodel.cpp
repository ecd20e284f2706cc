#include "assayfiltermodel.h"

void AssayFilterModel::setSearchText(const QString &text)
{
    if (text == searchText)
        return;
    searchText = text;
    invalidate();
}

bool AssayFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    return searchText.isEmpty()
        || sourceModel()->index(sourceRow, 0, sourceParent).data().toString().contains(searchText, Qt::CaseInsensitive);
}
