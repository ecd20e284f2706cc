#pragma once

#include <QAbstractProxyModel>
#include <QList>
#include <QString>

// Shows the rows of a flat source model whose display text contains the
// filter text, ignoring case, in the source's order.
//
// A new filter text is applied in one pass and announced as one layout
// change. QSortFilterProxyModel announces every row that comes or goes on its
// own, which costs hundreds of milliseconds over 100,000 rows, and when the
// current row goes, the view moves the current index and the selection to a
// neighbour. Here a row that the filter hides simply leaves the selection and
// the current index.
class AssayFilterModel : public QAbstractProxyModel
{
    Q_OBJECT

public:
    explicit AssayFilterModel(QObject *parent = nullptr);

    void setSourceModel(QAbstractItemModel *source) override;
    void setFilterFixedString(const QString &text);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex mapToSource(const QModelIndex &proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;

    // The display text of every source row, read once per change of names:
    // the count of such reads tells whether texts derived from them are stale.
    int sourceNameCount() const;
    QStringView sourceName(int sourceRow) const;
    int namesRead() const;
    // Source row of each shown row, ascending.
    const QList<int> &shownSourceRows() const;

private:
    void readNames();
    QList<int> matchingRows() const;
    void setShownRows(QList<int> rows);
    void refilter();
    void beginSourceChange();
    void endSourceChange();
    void forwardDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles);

    QString filterText;
    // The display texts of the source rows one after the other, and where
    // each ends. Read through the source at every search, or kept as 100,000
    // strings spread over the heap, they take several times longer to scan.
    QString names;
    QList<qsizetype> nameEnds;
    // Source row of each shown row, ascending.
    QList<int> shownRows;
    // Shown row of each source row, -1 where hidden.
    QList<int> shownRowOfSource;
    int namesReadCount = 0;
    // Source changes in progress: rows and columns come and go, or it resets.
    int pendingSourceChanges = 0;
};
