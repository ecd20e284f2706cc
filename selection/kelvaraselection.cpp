#include "kelvaraselection.h"
#include "ui_kelvaraselection.h"

#include "accessiblerows.h"
#include "checkstates.h"
#include "elidedtexttooltipdelegate.h"
#include "onscreen.h"

#include <QAbstractItemModel>
#include <QList>
#include <QPushButton>
#include <QTreeWidgetItemIterator>
#include <QVariant>
#include <QVariantList>

namespace {

QString libraryMarker()
{
    return QStringLiteral("Library");
}

bool isLibrary(const QTreeWidgetItem *item, int column)
{
    return item->data(column, Qt::UserRole).toString() == libraryMarker();
}

// A group or a library. Where Qt reports no checkable state to assistive
// technology, it gives its check state in words as its description; a
// partially checked group does so on every Qt, none of which reports it.
class CheckItem : public QTreeWidgetItem
{
public:
    QVariant data(int column, int role) const override
    {
        if (role == Qt::AccessibleDescriptionRole) {
            const QVariant checkState = QTreeWidgetItem::data(column, Qt::CheckStateRole);
            if (checkStateGoesIntoDescription || checkState.toInt() == Qt::PartiallyChecked)
                return checkStateInWords(checkState);
        }
        return QTreeWidgetItem::data(column, role);
    }
};

// Item views break a text into lines at these two characters only.
bool isOneLine(const QString &text)
{
    return !text.contains(QLatin1Char('\n')) && !text.contains(QChar::LineSeparator);
}

} // namespace

KelvaraSelection::KelvaraSelection(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
    , ui(new Ui::KelvaraSelection)
    , inCheckUpdate(false)
{
    ui->setupUi(this);
    keepOnScreen(this);
    ui->treeWidget->setItemDelegate(new ElidedTextToolTipDelegate(ui->treeWidget));
    // While every name is one line, every row is one line of text beside a
    // check box, all of the same height, and the tree need not measure each
    // row: finding where a row is drawn, or taking in a change to all of a
    // group's libraries, then costs no walk over the rows above or within.
    ui->treeWidget->setUniformRowHeights(true);
    announceCurrentRow(ui->treeWidget);
    updateOkButton();
    connect(ui->treeWidget, &QTreeWidget::itemChanged, this, &KelvaraSelection::listSelectionChanged);
}

KelvaraSelection::~KelvaraSelection()
{
    delete ui;
}

bool KelvaraSelection::run()
{
    return exec() == QDialog::Accepted;
}

void KelvaraSelection::setAvailableItems(const QVariantMap &available_items)
{
    // Every new item starts unchecked, so no group needs recomputing and the
    // Ok button keeps its state. Each group is built complete, off the tree,
    // and all of them are inserted at once: no itemChanged per item, and one
    // model insertion per call instead of one per library.
    QList<QTreeWidgetItem *> groups;
    groups.reserve(available_items.size());
    QList<QTreeWidgetItem *> libraries;
    bool oneLineRows = ui->treeWidget->uniformRowHeights();
    for (auto entry = available_items.cbegin(); entry != available_items.cend(); ++entry) {
        auto *group = new CheckItem;
        group->setText(0, entry.key());
        oneLineRows = oneLineRows && isOneLine(entry.key());
        const QVariantList names = entry.value().toList();
        libraries.clear();
        libraries.reserve(names.size());
        for (const QVariant &name : names) {
            auto *library = new CheckItem;
            const QString text = name.toString();
            library->setText(0, text);
            oneLineRows = oneLineRows && isOneLine(text);
            library->setCheckState(0, Qt::Unchecked);
            library->setData(0, Qt::UserRole, libraryMarker());
            libraries.append(library);
        }
        group->addChildren(libraries);
        group->setCheckState(0, Qt::Unchecked);
        groups.append(group);
    }
    // A name of several lines needs a row of its own height from now on.
    ui->treeWidget->setUniformRowHeights(oneLineRows);
    const int firstRow = ui->treeWidget->topLevelItemCount();
    ui->treeWidget->addTopLevelItems(groups);
    // expandItem() would look each group's row up by a search from the end
    // of the top level, quadratic in the number of groups; the rows are known.
    const QAbstractItemModel *model = ui->treeWidget->model();
    for (int row = firstRow; row < ui->treeWidget->topLevelItemCount(); ++row)
        ui->treeWidget->expand(model->index(row, 0));
}

QStringList KelvaraSelection::selectedItems() const
{
    QStringList names;
    for (QTreeWidgetItemIterator it(ui->treeWidget); *it; ++it) {
        const QTreeWidgetItem *item = *it;
        if (item->checkState(0) == Qt::Checked && isLibrary(item, 0))
            names.append(item->text(0));
    }
    return names;
}

QString KelvaraSelection::aggregationMode() const
{
    return ui->rbCompound->isChecked() ? QStringLiteral("compound") : QStringLiteral("batch");
}

void KelvaraSelection::listSelectionChanged(QTreeWidgetItem *item, int column)
{
    // The check states set below come straight back through itemChanged.
    // Items of another tree (reachable only through the meta-object) are not ours to touch.
    if (inCheckUpdate || !item || item->treeWidget() != ui->treeWidget)
        return;
    inCheckUpdate = true;
    // A click on a check box leaves the current item where it was; Space and
    // the arrow keys must go on from the item the user just changed.
    ui->treeWidget->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    if (!isLibrary(item, column))
        pushStateToLibraries(item);
    else if (QTreeWidgetItem *group = item->parent())
        group->setCheckState(0, sumOfLibraries(group));
    updateOkButton();
    inCheckUpdate = false;
}

void KelvaraSelection::pushStateToLibraries(QTreeWidgetItem *group)
{
    const int count = group->childCount();
    if (count == 0)
        return;
    const Qt::CheckState state = group->checkState(0);
    // A partially checked group only sums up its libraries: handing that
    // state down would turn every checked library into an unselected one.
    if (state == Qt::PartiallyChecked) {
        group->setCheckState(0, sumOfLibraries(group));
        return;
    }
    // QTreeWidgetItem has no ranged notification, so the model's own signal
    // carries it. Groups are top-level items.
    QAbstractItemModel *model = ui->treeWidget->model();
    const QModelIndex groupIndex = model->index(ui->treeWidget->indexOfTopLevelItem(group), 0);
    // With rows of their own heights (a name of several lines), the tree
    // measures every row of a ranged change twice: 17 s for 100,000
    // libraries. A check state changes no height, so the tree takes the
    // change as rows of one height; it measures the rows again as it shows them.
    const bool ownHeights = !ui->treeWidget->uniformRowHeights();
    ui->treeWidget->setUniformRowHeights(true);
    changeCheckStatesAtOnce(model, [&] {
        for (int i = 0; i < count; ++i)
            group->child(i)->setCheckState(0, state);
        return std::pair(model->index(0, 0, groupIndex), model->index(count - 1, 0, groupIndex));
    });
    ui->treeWidget->setUniformRowHeights(!ownHeights);
}

Qt::CheckState KelvaraSelection::sumOfLibraries(const QTreeWidgetItem *group)
{
    const int count = group->childCount();
    int checked = 0;
    for (int i = 0; i < count; ++i) {
        if (group->child(i)->checkState(0) == Qt::Checked)
            ++checked;
    }
    if (checked == count)
        return Qt::Checked;
    return checked == 0 ? Qt::Unchecked : Qt::PartiallyChecked;
}

void KelvaraSelection::updateOkButton()
{
    // Every group sums up its libraries, so a library is checked exactly
    // while a group that has libraries is not unchecked: one look per group
    // instead of one per library.
    bool anyChecked = false;
    for (int row = 0; row < ui->treeWidget->topLevelItemCount() && !anyChecked; ++row) {
        const QTreeWidgetItem *group = ui->treeWidget->topLevelItem(row);
        anyChecked = group->childCount() > 0 && group->checkState(0) != Qt::Unchecked;
    }
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(anyChecked);
}
