#include "kelvaradisplay.h"
#include "ui_kelvaradisplay.h"

#include "assayfiltermodel.h"
#include "assayitemdelegate.h"
#include "assaysettings.h"

#include <QDebug>
#include <QDoubleValidator>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include <limits>

KelvaraDisplay::KelvaraDisplay(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
    , ui(new Ui::KelvaraDisplay)
    , assayModel(new QStandardItemModel(this))
    , filterModel(new AssayFilterModel(this))
{
    ui->setupUi(this);

    // The field takes only the number form that saving reads, whatever the
    // system locale: point as decimal separator, no group separators.
    auto *validator = new QDoubleValidator(ui->lineEditUncertainty);
    validator->setBottom(0.0);
    QLocale numberForm = QLocale::c();
    numberForm.setNumberOptions(QLocale::RejectGroupSeparator);
    validator->setLocale(numberForm);
    ui->lineEditUncertainty->setValidator(validator);
    // A stored display name must come back whole when the assay is saved.
    ui->lineEditDisplayName->setMaxLength(std::numeric_limits<int>::max());
    // Names are shown as given, never read as markup.
    ui->assayNameLabel->setTextFormat(Qt::PlainText);
    // The label shows the name cut to its own width; that text must not
    // become the least width of the window, or the window could only grow.
    ui->assayNameLabel->setMinimumWidth(1);

    filterModel->setSourceModel(assayModel);
    ui->listView->setItemDelegate(new AssayItemDelegate(filterModel, ui->listView));
    connect(assayModel, &QStandardItemModel::itemChanged, this, &KelvaraDisplay::selectOnCheck);
    connect(ui->lineEditSearch, &QLineEdit::textChanged, this, &KelvaraDisplay::applySearch);
    // Return in the search field goes on to the list instead of pressing Ok.
    auto *toList = new QShortcut(ui->lineEditSearch);
    toList->setKeys({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    toList->setContext(Qt::WidgetShortcut);
    connect(toList, &QShortcut::activated, this, &KelvaraDisplay::goToList);
    ui->listView->setModel(filterModel);
    connect(ui->listView->selectionModel(), &QItemSelectionModel::selectionChanged,
            this, &KelvaraDisplay::selectionChangedSlot);
    connect(ui->selectButton, &QAbstractButton::clicked, this, &KelvaraDisplay::selectAllSlot);
    connect(ui->clearButton, &QAbstractButton::clicked, this, &KelvaraDisplay::clearSelectionSlot);
}

KelvaraDisplay::~KelvaraDisplay()
{
    delete ui;
}

bool KelvaraDisplay::run()
{
    return exec() == QDialog::Accepted;
}

void KelvaraDisplay::setDisplayData(const QByteArray &display_data)
{
    // A new text replaces everything; unsaved edits of the old one are dropped.
    currentAssay.reset();
    assayModel->clear();
    displayDataMap = QJsonDocument::fromJson(display_data).toVariant().toMap();

    QList<QStandardItem *> items;
    items.reserve(displayDataMap.size());
    for (auto it = displayDataMap.cbegin(), end = displayDataMap.cend(); it != end; ++it) {
        auto *item = new QStandardItem(it.key());
        item->setData(it.key(), Qt::UserRole);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(isSelectedRecord(it.value()) ? Qt::Checked : Qt::Unchecked);
        items.append(item);
    }
    // One insertion for all rows: row by row, the proxy and the view would
    // react to every single one. The search comes after: applied while the
    // rows come in, it would meet them before their column, without names,
    // and announce the matching ones run by run.
    const QString search = ui->lineEditSearch->text();
    filterModel->setSearchText(QString());
    if (!items.isEmpty())
        assayModel->appendColumn(items);
    filterModel->setSearchText(search);
    savedInPassing.fill(false, items.size());

    const QModelIndex first = filterModel->index(0, 0);
    if (first.isValid())
        ui->listView->selectionModel()->select(first, QItemSelectionModel::Select);
}

QByteArray KelvaraDisplay::displayData() const
{
    QJsonObject result;
    for (int row = 0; row < assayModel->rowCount(); ++row) {
        const QString name = assayName(row);
        const bool checked = assayModel->item(row)->checkState() == Qt::Checked;
        const QVariant record = displayDataMap.value(name);
        result.insert(name, recordWithSelection(savedInPassing.at(row) ? AssaySettings::fromRecord(record).toRecord()
                                                                      : record,
                                                checked));
    }
    return QJsonDocument(result).toJson(QJsonDocument::Indented);
}

void KelvaraDisplay::accept()
{
    saveDisplayData();
    QDialog::accept();
}

void KelvaraDisplay::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    logWidths("Resizing: ");
    // Only the name follows the new width; the fields may hold unsaved edits.
    showAssayName();
}

void KelvaraDisplay::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    logWidths("Showing: ");
    showCurrentRecord();
}

void KelvaraDisplay::selectionChangedSlot(const QItemSelection &, const QItemSelection &)
{
    saveDisplayData();
    const QModelIndexList selected = ui->listView->selectionModel()->selectedRows(0);
    // With the selected row hidden by the search, its assay stays current.
    if (selected.isEmpty())
        return;
    currentAssay = selected.first().data(Qt::UserRole).toString();
    showCurrentRecord();
}

void KelvaraDisplay::saveDisplayData()
{
    if (!currentAssay)
        return;
    AssaySettings settings;
    settings.alias = ui->lineEditDisplayName->text();
    settings.includeCount = ui->cbDisplayCount->isChecked();
    settings.includeValues = ui->cbDisplayValues->isChecked();
    settings.defaultUncertainty = uncertaintyFromText(ui->lineEditUncertainty->text());
    settings.geometricMean = ui->rbgeometric->isChecked();
    displayDataMap.insert(*currentAssay, settings.toRecord());
}

void KelvaraDisplay::clearSelectionSlot()
{
    // Unchecking never moves the selection, so nothing else follows.
    setAllCheckStates(Qt::Unchecked);
}

void KelvaraDisplay::selectAllSlot()
{
    const QList<int> checkedRows = setAllCheckStates(Qt::Checked);

    // Checking a row selects it (selectOnCheck), so checking the rows one by
    // one would walk the selection through all of them, saving and loading
    // the details at every step. Work out which of those steps really change
    // the selection; a row hidden by the search cannot be selected, and
    // checking it clears the selection instead.
    QList<int> changingRows;
    int selected = selectedRow();
    for (int row : checkedRows) {
        const int next = isShown(row) ? row : -1;
        if (next != selected) {
            changingRows.append(row);
            selected = next;
        }
    }
    if (changingRows.isEmpty())
        return;

    // Every step but the last, without the widgets: the first saves the
    // user's edits, each later one saves the record that the step before
    // loaded, which changes no value and only gives it the saved shape. That
    // shape is given when the record is written (displayData), which spares
    // rebuilding every record here.
    if (changingRows.size() > 1) {
        saveDisplayData();
        int lastShown = -1;
        for (qsizetype step = 0; step + 1 < changingRows.size(); ++step) {
            const int row = changingRows.at(step);
            if (isShown(row)) {
                savedInPassing[row] = true;
                lastShown = row;
            }
        }
        if (lastShown >= 0)
            currentAssay = assayName(lastShown);
        showCurrentRecord();
    }
    // The last step for real, so that the list shows its selection. A row
    // that the list selected before the first step is selected already, so
    // selecting it again would not switch the details to it: switch here.
    const int last = changingRows.last();
    if (isShown(last) && last == selectedRow())
        selectionChangedSlot(QItemSelection(), QItemSelection());
    else
        selectRow(last);
}

void KelvaraDisplay::selectOnCheck(QStandardItem *item)
{
    if (item->checkState() == Qt::Checked)
        selectRow(item->row());
}

void KelvaraDisplay::updateDetails(const QVariantMap &record)
{
    showAssayName();
    const AssaySettings settings = AssaySettings::fromRecord(record);
    ui->lineEditDisplayName->setText(settings.alias);
    ui->lineEditUncertainty->setText(uncertaintyToText(settings.defaultUncertainty));
    ui->cbDisplayCount->setChecked(settings.includeCount);
    ui->cbDisplayValues->setChecked(settings.includeValues);
    // The buttons exclude each other: checking one clears the other.
    (settings.geometricMean ? ui->rbgeometric : ui->rbArithmetic)->setChecked(true);
}

void KelvaraDisplay::showAssayName()
{
    const QString name = currentAssay.value_or(QString());
    const QFontMetrics metrics(ui->assayNameLabel->font());
    ui->assayNameLabel->setText(metrics.elidedText(name, Qt::ElideRight, ui->assayNameLabel->width()));
    ui->assayNameLabel->setToolTip(name);
}

void KelvaraDisplay::showCurrentRecord()
{
    updateDetails(currentAssay ? displayDataMap.value(*currentAssay).toMap() : QVariantMap());
}

void KelvaraDisplay::logWidths(const char *what) const
{
    // No source location: the message is for the host's log.
    QMessageLogger().debug() << what << width() << ", " << ui->lineEditDisplayName->width() << Qt::endl;
}

QString KelvaraDisplay::assayName(int row) const
{
    return assayModel->item(row)->data(Qt::UserRole).toString();
}

bool KelvaraDisplay::isShown(int row) const
{
    return filterModel->mapFromSource(assayModel->index(row, 0)).isValid();
}

int KelvaraDisplay::selectedRow() const
{
    const QModelIndexList selected = ui->listView->selectionModel()->selectedRows(0);
    return selected.isEmpty() ? -1 : filterModel->mapToSource(selected.first()).row();
}

void KelvaraDisplay::selectRow(int row)
{
    // A row the search hides maps to no index, which clears the selection.
    ui->listView->selectionModel()->select(filterModel->mapFromSource(assayModel->index(row, 0)),
                                           QItemSelectionModel::ClearAndSelect);
}

QList<int> KelvaraDisplay::setAllCheckStates(Qt::CheckState state)
{
    // Hidden rows included, and the list told once for all of them: row by
    // row it repaints and selectOnCheck selects at every one. The caller
    // settles the selection afterwards.
    QList<int> changed;
    {
        const QSignalBlocker quiet(assayModel);
        for (int row = 0; row < assayModel->rowCount(); ++row) {
            QStandardItem *item = assayModel->item(row);
            if (item->checkState() != state) {
                item->setCheckState(state);
                changed.append(row);
            }
        }
    }
    // The model reports dataChanged as itemChanged too, which must not
    // reach selectOnCheck.
    if (!changed.isEmpty()) {
        disconnect(assayModel, &QStandardItemModel::itemChanged, this, &KelvaraDisplay::selectOnCheck);
        Q_EMIT assayModel->dataChanged(assayModel->index(changed.first(), 0),
                                       assayModel->index(changed.last(), 0), {Qt::CheckStateRole});
        connect(assayModel, &QStandardItemModel::itemChanged, this, &KelvaraDisplay::selectOnCheck);
    }
    return changed;
}

void KelvaraDisplay::applySearch(const QString &text)
{
    const QItemSelectionModel *selection = ui->listView->selectionModel();
    const bool hadSelection = selection->hasSelection();
    filterModel->setSearchText(text);
    // Hiding the selected row leaves no row selected, a change of selection
    // like any other, which saves the details; the selection model does not
    // report selections that the list's layout change drops.
    if (hadSelection && !selection->hasSelection())
        saveDisplayData();
}

void KelvaraDisplay::goToList()
{
    ui->listView->setFocus(Qt::ShortcutFocusReason);
    const QModelIndex first = filterModel->index(0, 0);
    if (first.isValid())
        ui->listView->setCurrentIndex(first);
}
