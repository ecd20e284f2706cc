#include "kelvaradisplay.h"
#include "ui_kelvaradisplay.h"

#include "accessiblerows.h"
#include "assayfiltermodel.h"
#include "assayrowsizingdelegate.h"
#include "assaysettings.h"
#include "checkstates.h"
#include "onscreen.h"

#include <QDebug>
#include <QDoubleValidator>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QStandardItemModel>
#include <QTextDocument>

#include <cmath>
#include <limits>

namespace {

// Takes the number form that saving reads, whatever the system locale: point
// as decimal separator, no group separators, nothing negative and nothing
// too large for a double. A comma, typed or pasted, is the decimal point the
// user means and is shown as one, so that the field shows what is saved.
class UncertaintyValidator : public QDoubleValidator
{
public:
    explicit UncertaintyValidator(QObject *parent)
        : QDoubleValidator(parent)
    {
        setBottom(0.0);
        QLocale numberForm = QLocale::c();
        numberForm.setNumberOptions(QLocale::RejectGroupSeparator);
        setLocale(numberForm);
    }

    State validate(QString &input, int &position) const override
    {
        input.replace(QLatin1Char(','), QLatin1Char('.'));
        const State state = QDoubleValidator::validate(input, position);
        // A number past the largest double reads as infinite.
        return state != Invalid && std::isinf(locale().toDouble(input)) ? Invalid : state;
    }
};

} // namespace

KelvaraDisplay::KelvaraDisplay(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
    , ui(new Ui::KelvaraDisplay)
    , assayModel(new QStandardItemModel(this))
    , filterModel(new AssayFilterModel(this))
{
    ui->setupUi(this);
    keepOnScreen(this);

    ui->lineEditUncertainty->setValidator(new UncertaintyValidator(ui->lineEditUncertainty));
    // A stored display name must come back whole when the assay is saved.
    ui->lineEditDisplayName->setMaxLength(std::numeric_limits<int>::max());
    // Names are shown as given, never read as markup.
    ui->assayNameLabel->setTextFormat(Qt::PlainText);
    // The label shows the name cut to its own width; that text must not
    // become the least width of the window, or the window could only grow.
    ui->assayNameLabel->setMinimumWidth(1);

    filterModel->setSourceModel(assayModel);
    ui->listView->setItemDelegate(new AssayRowSizingDelegate(filterModel, ui->listView));
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
    announceCurrentRow(ui->listView);
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
    // The new assays are read and built before the old ones go, so that a
    // call that fails for want of memory leaves the dialog as it was.
    QVariantMap records = QJsonDocument::fromJson(display_data).toVariant().toMap();
    QList<QStandardItem *> items;
    items.reserve(records.size());
    auto dropItems = qScopeGuard([&items] { qDeleteAll(items); });
    for (auto it = records.cbegin(), end = records.cend(); it != end; ++it) {
        auto *item = new QStandardItem(it.key());
        items.append(item);
        item->setData(it.key(), Qt::UserRole);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(isSelectedRecord(it.value()) ? Qt::Checked : Qt::Unchecked);
    }
    QList<bool> noneSavedInPassing(items.size(), false);

    // A new text replaces everything; unsaved edits of the old one are dropped.
    currentAssay.reset();
    assayModel->clear();
    displayDataMap = std::move(records);
    savedInPassing = std::move(noneSavedInPassing);
    // One insertion for all rows: row by row, the proxy and the view would
    // react to every single one. The search comes after: applied while the
    // rows come in, it would meet them before their column, without names,
    // and announce the matching ones run by run.
    const QString search = ui->lineEditSearch->text();
    filterModel->setSearchText(QString());
    if (!items.isEmpty())
        assayModel->appendColumn(items);
    dropItems.dismiss();
    filterModel->setSearchText(search);

    // Selected and current alike, so that the keyboard starts where the user looks.
    const QModelIndex first = filterModel->index(0, 0);
    if (first.isValid())
        ui->listView->selectionModel()->setCurrentIndex(first, QItemSelectionModel::Select);
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
    const QList<bool> shown = shownRows();
    QList<int> changingRows;
    int selected = selectedRow();
    for (int row : checkedRows) {
        const int next = shown.at(row) ? row : -1;
        if (next != selected) {
            changingRows.append(row);
            selected = next;
        }
    }
    if (changingRows.isEmpty())
        return;

    // Every step but the last, without the widgets: the first saves the
    // user's edits, each later one saves the record that the step before
    // loaded, which gives it the saved shape: the five keys, each as the
    // field shows it (an alias 7 becomes "7", an include_count 1 becomes
    // true), and no other key. That shape is given when the record is written
    // (displayData), which spares rebuilding every record here.
    if (changingRows.size() > 1) {
        saveDisplayData();
        int lastShown = -1;
        for (qsizetype step = 0; step + 1 < changingRows.size(); ++step) {
            const int row = changingRows.at(step);
            if (shown.at(row)) {
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
    if (shown.at(last) && last == selectedRow())
        selectionChangedSlot(QItemSelection(), QItemSelection());
    else
        selectRow(last);
}

void KelvaraDisplay::selectOnCheck(QStandardItem *item)
{
    if (!settingAllCheckStates && item->checkState() == Qt::Checked)
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
    // The label has room for one line: line breaks show as spaces.
    QString oneLine = name;
    for (QChar &c : oneLine) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    const QFontMetrics metrics(ui->assayNameLabel->font());
    ui->assayNameLabel->setText(metrics.elidedText(oneLine, Qt::ElideRight, ui->assayNameLabel->width()));
    // Converted, so that a name that looks like markup shows as written.
    ui->assayNameLabel->setToolTip(Qt::convertFromPlainText(name));
    // A screen reader takes the tool tip as the label's description but hears
    // of no change to it; this one it hears of, and without the markup.
    ui->assayNameLabel->setAccessibleDescription(name);
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

QList<bool> KelvaraDisplay::shownRows() const
{
    // Without a search the list shows every row; mapping 100,000 rows one by
    // one would cost more than the rest of Select all.
    const int rows = assayModel->rowCount();
    QList<bool> shown(rows, filterModel->rowCount() == rows);
    if (filterModel->rowCount() < rows) {
        for (int row = 0; row < filterModel->rowCount(); ++row)
            shown[filterModel->mapToSource(filterModel->index(row, 0)).row()] = true;
    }
    return shown;
}

int KelvaraDisplay::selectedRow() const
{
    const QModelIndexList selected = ui->listView->selectionModel()->selectedRows(0);
    return selected.isEmpty() ? -1 : filterModel->mapToSource(selected.first()).row();
}

void KelvaraDisplay::selectRow(int row)
{
    // Current as well as selected, so that Space and the arrow keys act on the
    // row the user sees highlighted. A row the search hides maps to no index,
    // which clears the selection.
    ui->listView->selectionModel()->setCurrentIndex(filterModel->mapFromSource(assayModel->index(row, 0)),
                                                    QItemSelectionModel::ClearAndSelect);
}

QList<int> KelvaraDisplay::setAllCheckStates(Qt::CheckState state)
{
    // Hidden rows included, and the list told once for all of them: row by
    // row it repaints and selectOnCheck selects at every one. The caller
    // settles the selection afterwards; the model reports its one dataChanged
    // as itemChanged too, which selectOnCheck must not take for a check.
    const QScopedValueRollback<bool> settling(settingAllCheckStates, true);
    QList<int> changed;
    changeCheckStatesAtOnce(assayModel, [&] {
        for (int row = 0; row < assayModel->rowCount(); ++row) {
            QStandardItem *item = assayModel->item(row);
            if (item->checkState() != state) {
                item->setCheckState(state);
                changed.append(row);
            }
        }
        return changed.isEmpty() ? std::pair<QModelIndex, QModelIndex>()
                                 : std::pair(assayModel->index(changed.first(), 0),
                                             assayModel->index(changed.last(), 0));
    });
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
    // The assay being edited stays current where the list shows it.
    QModelIndex target;
    if (currentAssay) {
        const QModelIndexList rows = assayModel->match(assayModel->index(0, 0), Qt::UserRole, *currentAssay, 1,
                                                       Qt::MatchExactly);
        target = filterModel->mapFromSource(rows.value(0));
    }
    if (!target.isValid())
        target = filterModel->index(0, 0);
    if (target.isValid())
        ui->listView->setCurrentIndex(target);
}
