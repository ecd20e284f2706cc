#pragma once

#include <QByteArray>
#include <QDialog>
#include <QItemSelection>
#include <QList>
#include <QResizeEvent>
#include <QShowEvent>
#include <QStandardItem>
#include <QString>
#include <QVariantMap>

#include <optional>

class AssayFilterModel;
class QStandardItemModel;

namespace Ui {
class KelvaraDisplay;
}

// Lets the user pick the assays the host shows and set, one assay at a time,
// how each is displayed. Everything comes in and goes out as one JSON object
// keyed by assay name. The details group always edits the current assay,
// the one last selected in the list; its edits go into the store when the
// selection moves on and on Ok, never on Cancel.
class KelvaraDisplay : public QDialog
{
    Q_OBJECT

public:
    explicit KelvaraDisplay(QWidget *parent = nullptr);
    ~KelvaraDisplay() override;

public Q_SLOTS:
    bool run();
    void setDisplayData(const QByteArray &display_data);
    QByteArray displayData() const;

protected Q_SLOTS:
    void accept() override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private Q_SLOTS:
    void selectionChangedSlot(const QItemSelection &before, const QItemSelection &after);
    void saveDisplayData();
    void clearSelectionSlot();
    void selectAllSlot();
    void selectOnCheck(QStandardItem *);

private:
    void updateDetails(const QVariantMap &record);
    void showAssayName();
    void showCurrentRecord();
    void logWidths(const char *what) const;

    QString assayName(int row) const;
    // Per row of assayModel: whether the list shows it.
    QList<bool> shownRows() const;
    int selectedRow() const;
    void selectRow(int row);
    QList<int> setAllCheckStates(Qt::CheckState state);
    void applySearch(const QString &text);
    void goToList();

    Ui::KelvaraDisplay *ui;
    // Assay name to its record: as parsed, until the details save the assay.
    // Select all never writes here; the rows it passes are flagged in
    // savedInPassing and reshaped when written (displayData()).
    QVariantMap displayDataMap;
    // The assay the details belong to. The empty name is a valid assay name,
    // so "none" has to be told apart from it.
    std::optional<QString> currentAssay;
    QStandardItemModel *assayModel;
    AssayFilterModel *filterModel;
    // Per row of assayModel: Select all passed the row and saved its record
    // unchanged; it is written in the saved shape.
    QList<bool> savedInPassing;
    // Set while Select all or Clear changes every check state at once.
    bool settingAllCheckStates = false;
};
