#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTreeWidgetItem>
#include <QVariantMap>

namespace Ui {
class KelvaraSelection;
}

// Lets the user pick libraries from a two-level check-box tree (groups of
// libraries) and choose an aggregation mode. A group's check box drives all
// of its libraries; a library's check box sets its group to checked,
// unchecked or partially checked. Ok is enabled exactly while at least one
// library is checked.
//
// Library items carry the marker "Library" in Qt::UserRole of column 0; that
// marker, not the depth, is what tells a library from a group.
class KelvaraSelection : public QDialog
{
    Q_OBJECT

public:
    explicit KelvaraSelection(QWidget *parent = nullptr);
    ~KelvaraSelection() override;

public Q_SLOTS:
    bool run();
    // Appends one expanded, unchecked group per key (in the map's order) with
    // one unchecked library per element of its list. Earlier items stay.
    void setAvailableItems(const QVariantMap &available_items);
    QStringList selectedItems() const;
    QString aggregationMode() const;

private Q_SLOTS:
    void listSelectionChanged(QTreeWidgetItem *item, int column);

private:
    void updateOkButton();
    void pushStateToLibraries(QTreeWidgetItem *group);
    static Qt::CheckState sumOfLibraries(const QTreeWidgetItem *group);

    Ui::KelvaraSelection *ui;
    bool inCheckUpdate;
};
