#pragma once

#include <QList>
#include <QObject>
#include <QSortFilterProxyModel>
#include <QString>

// Shows the rows of a flat source model whose display text contains the
// search text, ignoring case, in the source's order.
//
// A new search text is announced as one layout change (invalidate()): rows
// that it hides leave the selection and the current index, and the view moves
// neither to a neighbour. setFilterFixedString() would instead announce each
// run of adjacent rows that comes or goes, which takes hundreds of
// milliseconds over 100,000 rows and lets the view move the current index.
class AssayFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setSourceModel(QAbstractItemModel *source) override;
    void setSearchText(const QString &text);
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    void readNames();

    QString searchText;
    // The display texts of the source rows one after the other, and where
    // each ends, read whenever they may have changed. Read through the source
    // at every search, as the base class's filterAcceptsRow() does, 100,000
    // names take two to three times as long.
    QString names;
    QList<qsizetype> nameEnds;
    // Holds the connections that keep the names read.
    QObject namesWatch;
};
