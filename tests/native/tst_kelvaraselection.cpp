#include "accessibility.h"
#include "accessiblerows.h"
#include "kelvaraselection.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMetaMethod>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <tuple>

using namespace Qt::StringLiterals;

namespace {

QTreeWidget *tree(const QDialog &dialog)
{
    return dialog.findChild<QTreeWidget *>(u"treeWidget"_s);
}

QPushButton *button(const QDialog &dialog, QDialogButtonBox::StandardButton which)
{
    return dialog.findChild<QDialogButtonBox *>(u"buttonBox"_s)->button(which);
}

bool okEnabled(const QDialog &dialog)
{
    return button(dialog, QDialogButtonBox::Ok)->isEnabled();
}

QVariantMap libraryMap(std::initializer_list<std::pair<QString, QStringList>> groups)
{
    QVariantMap map;
    for (const auto &[group, names] : groups) {
        QVariantList list;
        for (const QString &name : names)
            list.append(name);
        map.insert(group, list);
    }
    return map;
}

// Fills the dialog and shows it, ready for clicks.
bool showFilled(KelvaraSelection &dialog, const QVariantMap &map)
{
    dialog.setAvailableItems(map);
    dialog.show();
    return QTest::qWaitForWindowExposed(&dialog);
}

// The group at top-level row `group`, or its library at row `library`.
QTreeWidgetItem *item(const QDialog &dialog, int group, int library = -1)
{
    QTreeWidgetItem *top = tree(dialog)->topLevelItem(group);
    return library < 0 ? top : top->child(library);
}

// Makes the delegate's own style option available, so that a click can hit
// the check indicator exactly where the delegate looks for it.
struct StyleOptionProbe : QStyledItemDelegate
{
    using QStyledItemDelegate::initStyleOption;
};

// A user's click on an item's check box.
void clickCheckBox(QTreeWidget *view, QTreeWidgetItem *target)
{
    view->scrollToItem(target);
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.widget = view;
    option.rect = view->visualItemRect(target);
    QVERIFY(view->itemAt(option.rect.center()) == target);
    StyleOptionProbe().initStyleOption(&option, view->indexAt(option.rect.center()));
    const QRect indicator = view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
    QVERIFY(indicator.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, indicator.center());
}

void clickCheckBox(const QDialog &dialog, int group, int library = -1)
{
    clickCheckBox(tree(dialog), item(dialog, group, library));
}

// What a click or Space does to an item that is not user-tristate.
void toggle(QTreeWidgetItem *target)
{
    target->setCheckState(0, target->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void invokeSlot(KelvaraSelection &dialog, QTreeWidgetItem *target)
{
    QVERIFY(QMetaObject::invokeMethod(&dialog, "listSelectionChanged", Q_ARG(QTreeWidgetItem *, target),
                                      Q_ARG(int, 0)));
}

// Every item in pre-order with what it shows and holds: text (libraries
// indented), check state (or none), marker, expansion and child count.
QStringList snapshot(QTreeWidget *view)
{
    static const QStringList stateNames = {u"unchecked"_s, u"partial"_s, u"checked"_s};
    QStringList lines;
    for (QTreeWidgetItemIterator it(view); *it; ++it) {
        const QTreeWidgetItem *node = *it;
        const QVariant check = node->data(0, Qt::CheckStateRole);
        lines << u"%1%2 %3 %4 %5 %6"_s
                     .arg(node->parent() ? u"  "_s : QString(), node->text(0),
                          check.isValid() ? stateNames.value(check.toInt()) : u"none"_s,
                          node->data(0, Qt::UserRole).toString(), node->isExpanded() ? u"open"_s : u"closed"_s)
                     .arg(node->childCount());
    }
    return lines;
}

// The selection logic exactly as first designed: every change walks the
// group's leaves again and then the whole tree for the Ok button. Quadratic,
// but plainly right; the dialog must behave the same.
class ReferenceSelection
{
public:
    ReferenceSelection()
    {
        view.setColumnCount(1);
        QObject::connect(&view, &QTreeWidget::itemChanged, &view,
                         [this](QTreeWidgetItem *changed, int column) { listSelectionChanged(changed, column); });
    }

    void setAvailableItems(const QVariantMap &available_items)
    {
        const QStringList keys = available_items.keys();
        for (const QString &key : keys) {
            auto *group = new QTreeWidgetItem(&view, QStringList{key});
            const QVariantList names = available_items.value(key).toList();
            for (const QVariant &name : names) {
                auto *library = new QTreeWidgetItem(group, QStringList{name.toString()});
                library->setCheckState(0, Qt::Unchecked);
                library->setData(0, Qt::UserRole, u"Library"_s);
            }
            view.expandItem(group);
            group->setCheckState(0, Qt::Unchecked);
        }
    }

    QStringList selectedItems()
    {
        QStringList names;
        for (QTreeWidgetItemIterator it(&view); *it; ++it) {
            if ((*it)->checkState(0) == Qt::Checked && (*it)->data(0, Qt::UserRole).toString() == u"Library"_s)
                names << (*it)->text(0);
        }
        return names;
    }

    void listSelectionChanged(QTreeWidgetItem *changed, int column)
    {
        if (inCheckUpdate)
            return;
        inCheckUpdate = true;
        const auto forEachLeafUnder = [](QTreeWidgetItem *group, const auto &visit) {
            for (QTreeWidgetItemIterator it(group, QTreeWidgetItemIterator::NoChildren);
                 *it && (*it)->parent() == group; ++it)
                visit(*it);
        };
        if (changed->data(column, Qt::UserRole).toString() != u"Library"_s) {
            forEachLeafUnder(changed, [changed](QTreeWidgetItem *leaf) { leaf->setCheckState(0, changed->checkState(0)); });
        } else {
            QTreeWidgetItem *group = changed->parent();
            bool all = true;
            bool none = true;
            forEachLeafUnder(group, [&](QTreeWidgetItem *leaf) { (leaf->checkState(0) == Qt::Checked ? none : all) = false; });
            group->setCheckState(0, all ? Qt::Checked : none ? Qt::Unchecked : Qt::PartiallyChecked);
        }
        ok = !selectedItems().isEmpty();
        inCheckUpdate = false;
    }

    QTreeWidget view;
    bool ok = false;

private:
    bool inCheckUpdate = false;
};

// A small random map: a few groups, a few libraries each, names repeating
// within and across groups, sometimes an empty group.
QVariantMap randomMap(QRandomGenerator &random)
{
    static const QStringList names = {u"A"_s, u"b"_s, u"C"_s, u"é"_s, QString()};
    const auto anyName = [&] { return names.at(random.bounded(int(names.size()))); };
    QVariantMap map;
    for (int groups = random.bounded(1, 4); groups > 0; --groups) {
        QVariantList list;
        for (int libraries = random.bounded(0, 5); libraries > 0; --libraries)
            list << anyName();
        map.insert(anyName(), list);
    }
    return map;
}

} // namespace

class tst_KelvaraSelection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void shouldHaveDefaultValuesOnCreation();
    void shouldDeclareSlotsInOrder();
    void shouldFillTree_data();
    void shouldFillTree();
    void shouldAppendOnSecondFill();
    void shouldPushGroupStateToLibraries();
    void shouldSumUpLibrariesInGroup_data();
    void shouldSumUpLibrariesInGroup();
    void shouldListSameNameOncePerCheckedLibrary();
    void shouldEnableOkExactlyWhileLibraryChecked();
    void shouldIgnoreGroupWithoutLibraries();
    void shouldToggleCurrentItemWithSpace();
    void shouldShowCutNameWholeInToolTip();
    void shouldReportAggregationMode();
    void shouldReturnWhetherAccepted_data();
    void shouldReturnWhetherAccepted();
    void shouldKeepOkRightThroughMetaObjectCalls();
    void shouldKeepLibrariesWhenPartialGroupIsReapplied();
    void shouldIgnoreForeignAndNullItems();
    void shouldMatchReferenceOnRandomChanges_data();
    void shouldMatchReferenceOnRandomChanges();
    void shouldNameEveryControl_data();
    void shouldNameEveryControl();
    void shouldWorkByKeyboardAlone();
};

void tst_KelvaraSelection::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_KelvaraSelection::shouldHaveDefaultValuesOnCreation()
{
    KelvaraSelection dialog;
    QCOMPARE(dialog.objectName(), u"KelvaraSelection"_s);
    QCOMPARE(dialog.windowTitle(), u"Select Kelvara Libraries"_s);
    QCOMPARE(dialog.size(), QSize(400, 300));
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.isModal());
    QCOMPARE(dialog.findChild<QLabel *>(u"label"_s)->text(), u"Libraries:"_s);
    QCOMPARE(dialog.findChild<QGroupBox *>(u"groupBox"_s)->title(), u"Aggregation:"_s);
    auto *compound = dialog.findChild<QRadioButton *>(u"rbCompound"_s);
    auto *batch = dialog.findChild<QRadioButton *>(u"rbBatch"_s);
    QCOMPARE(compound->text(), u"Compound"_s);
    QCOMPARE(batch->text(), u"Batch"_s);
    QVERIFY(compound->isChecked());
    QVERIFY(!batch->isChecked());
    QCOMPARE(dialog.aggregationMode(), u"compound"_s);

    QTreeWidget *view = tree(dialog);
    QCOMPARE(view->topLevelItemCount(), 0);
    QCOMPARE(view->columnCount(), 1);
    QCOMPARE(view->headerItem()->text(0), u"1"_s);
    QVERIFY(view->header()->isHidden());
    QCOMPARE(view->selectionMode(), QAbstractItemView::NoSelection);
    QCOMPARE(dialog.selectedItems(), QStringList());
    QVERIFY(!okEnabled(dialog));
    QVERIFY(button(dialog, QDialogButtonBox::Cancel)->isEnabled());

    // Top to bottom: label, tree, the radio buttons at the left of their box, buttons.
    auto *layout = dialog.findChild<QVBoxLayout *>(u"verticalLayout"_s);
    QCOMPARE(dialog.layout(), layout);
    const QStringList column = {u"label"_s, u"treeWidget"_s, u"groupBox"_s, u"buttonBox"_s};
    QCOMPARE(layout->count(), column.size());
    for (int i = 0; i < column.size(); ++i)
        QCOMPARE(layout->itemAt(i)->widget()->objectName(), column.at(i));
    auto *row = dialog.findChild<QHBoxLayout *>(u"horizontalLayout"_s);
    QCOMPARE(dialog.findChild<QGroupBox *>(u"groupBox"_s)->layout(), row);
    QCOMPARE(row->count(), 3);
    QCOMPARE(row->itemAt(0)->widget(), compound);
    QCOMPARE(row->itemAt(1)->widget(), batch);
    QSpacerItem *spacer = row->itemAt(2)->spacerItem();
    QVERIFY(spacer);
    QCOMPARE(spacer->sizeHint(), QSize(40, 20));
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    auto *box = dialog.findChild<QDialogButtonBox *>(u"buttonBox"_s);
    QCOMPARE(box->orientation(), Qt::Horizontal);
    QCOMPARE(box->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
}

void tst_KelvaraSelection::shouldDeclareSlotsInOrder()
{
    const QMetaObject &meta = KelvaraSelection::staticMetaObject;
    QCOMPARE(meta.className(), "KelvaraSelection");
    QCOMPARE(meta.superClass(), &QDialog::staticMetaObject);
    struct Slot
    {
        QByteArray signature;
        QByteArray returnType;
        QList<QByteArray> parameterNames;
        QMetaMethod::Access access;
    };
    const QList<Slot> expected = {
        {"run()", "bool", {}, QMetaMethod::Public},
        {"setAvailableItems(QVariantMap)", "void", {"available_items"}, QMetaMethod::Public},
        {"selectedItems()", "QStringList", {}, QMetaMethod::Public},
        {"aggregationMode()", "QString", {}, QMetaMethod::Public},
        {"listSelectionChanged(QTreeWidgetItem*,int)", "void", {"item", "column"}, QMetaMethod::Private},
    };
    QCOMPARE(meta.methodCount() - meta.methodOffset(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QMetaMethod method = meta.method(meta.methodOffset() + i);
        QCOMPARE(method.methodSignature(), expected.at(i).signature);
        QCOMPARE(method.typeName(), expected.at(i).returnType);
        QCOMPARE(method.parameterNames(), expected.at(i).parameterNames);
        QCOMPARE(method.access(), expected.at(i).access);
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
    }
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());
    QCOMPARE(meta.enumeratorCount(), meta.enumeratorOffset());
    QCOMPARE(meta.classInfoCount(), meta.classInfoOffset());
}

// Each row: the map, and the texts of the tree it must give (libraries
// indented, rows taller than the first marked); every item unchecked, every
// group expanded.
void tst_KelvaraSelection::shouldFillTree_data()
{
    QTest::addColumn<QVariantMap>("map");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty map") << QVariantMap() << QStringList();
    QTest::newRow("keys in ascending order, upper case first")
        << libraryMap({{u"alpha"_s, {u"a1"_s}}, {u"Zeta"_s, {u"z2"_s, u"z1"_s}}})
        << QStringList{u"Zeta"_s, u"  z2"_s, u"  z1"_s, u"alpha"_s, u"  a1"_s};
    QTest::newRow("duplicates and empty names stay")
        << libraryMap({{u"g"_s, {u"x"_s, QString(), u"x"_s}}}) << QStringList{u"g"_s, u"  x"_s, u"  "_s, u"  x"_s};
    QTest::newRow("empty list") << libraryMap({{u"empty"_s, {}}}) << QStringList{u"empty"_s};
    QTest::newRow("non-ASCII") << libraryMap({{u"Grüppe"_s, {u"ライブラリ"_s}}})
                               << QStringList{u"Grüppe"_s, u"  ライブラリ"_s};
    QTest::newRow("names of several lines")
        << libraryMap({{u"g"_s, {u"one"_s, u"two\nlines"_s, u"two\u2028lines"_s}}})
        << QStringList{u"g"_s, u"  one"_s, u"  two\nlines (taller)"_s, u"  two\u2028lines (taller)"_s};
    const QVariantMap mixed = {{u"numbers"_s, QVariantList{3, 2.5}}, {u"not a list"_s, 7}};
    QTest::newRow("values read with toList and toString")
        << mixed << QStringList{u"not a list"_s, u"numbers"_s, u"  3"_s, u"  2.5"_s};
}

void tst_KelvaraSelection::shouldFillTree()
{
    QFETCH(QVariantMap, map);
    QFETCH(QStringList, expected);

    KelvaraSelection dialog;
    dialog.setAvailableItems(map);
    QTreeWidget *view = tree(dialog);
    QStringList texts;
    for (QTreeWidgetItemIterator it(view); *it; ++it) {
        const QTreeWidgetItem *node = *it;
        const bool taller = view->visualItemRect(node).height() > view->visualItemRect(view->topLevelItem(0)).height();
        texts << (node->parent() ? u"  "_s : QString()) + node->text(0) + (taller ? u" (taller)"_s : QString());
        QCOMPARE(node->type(), int(QTreeWidgetItem::Type));
        QCOMPARE(node->flags(), Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled
                                    | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
        // An explicit Unchecked, not merely no check state.
        QCOMPARE(node->data(0, Qt::CheckStateRole), QVariant(int(Qt::Unchecked)));
        if (node->parent()) {
            QCOMPARE(node->data(0, Qt::UserRole), QVariant(u"Library"_s));
            QCOMPARE(node->childCount(), 0);
        } else {
            QVERIFY(!node->data(0, Qt::UserRole).isValid());
            QVERIFY(node->isExpanded());
        }
    }
    QCOMPARE(texts, expected);
    QCOMPARE(dialog.selectedItems(), QStringList());
    QVERIFY(!okEnabled(dialog));
}

void tst_KelvaraSelection::shouldAppendOnSecondFill()
{
    KelvaraSelection dialog;
    QVERIFY(showFilled(dialog, libraryMap({{u"g"_s, {u"a"_s, u"b"_s}}})));
    clickCheckBox(dialog, 0, 1);
    QVERIFY(okEnabled(dialog));

    dialog.setAvailableItems(libraryMap({{u"g"_s, {u"c"_s}}, {u"f"_s, {u"d"_s}}}));
    QCOMPARE(snapshot(tree(dialog)),
             QStringList({u"g partial  open 2"_s, u"  a unchecked Library closed 0"_s,
                          u"  b checked Library closed 0"_s, u"f unchecked  open 1"_s,
                          u"  d unchecked Library closed 0"_s, u"g unchecked  open 1"_s,
                          u"  c unchecked Library closed 0"_s}));
    QCOMPARE(dialog.selectedItems(), QStringList{u"b"_s});
    QVERIFY(okEnabled(dialog));

    // The new groups work like the old ones, and the old one still does.
    clickCheckBox(dialog, 2);
    clickCheckBox(dialog, 0, 1);
    QCOMPARE(dialog.selectedItems(), QStringList{u"c"_s});
    QCOMPARE(item(dialog, 0)->checkState(0), Qt::Unchecked);
    QVERIFY(okEnabled(dialog));

    // A name of two lines keeps its height when later names have one line.
    dialog.setAvailableItems(libraryMap({{u"h"_s, {u"first\nsecond"_s}}}));
    dialog.setAvailableItems(libraryMap({{u"i"_s, {u"e"_s}}}));
    QVERIFY(tree(dialog)->visualItemRect(item(dialog, 3, 0)).height()
            > tree(dialog)->visualItemRect(item(dialog, 4, 0)).height());
}

void tst_KelvaraSelection::shouldPushGroupStateToLibraries()
{
    KelvaraSelection dialog;
    QVERIFY(showFilled(dialog, libraryMap({{u"g"_s, {u"a"_s, u"b"_s, u"c"_s}}, {u"h"_s, {u"d"_s}}})));
    const QAbstractItemModel *model = tree(dialog)->model();
    const QModelIndex group = model->index(0, 0);
    for (Qt::CheckState state : {Qt::Checked, Qt::Unchecked}) {
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        clickCheckBox(dialog, 0);
        // The libraries, announced at once from within the group's own change.
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), model->index(0, 0, group));
        QCOMPARE(changed.at(0).at(1).toModelIndex(), model->index(2, 0, group));
        QCOMPARE(changed.at(1).at(0).toModelIndex(), group);
        QCOMPARE(item(dialog, 0)->checkState(0), state);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(item(dialog, 0, i)->checkState(0), state);
        QCOMPARE(item(dialog, 1, 0)->checkState(0), Qt::Unchecked);
        QCOMPARE(okEnabled(dialog), state == Qt::Checked);
    }
}

// Each row clicks items of a group of two libraries in order (-1: the group
// itself) and gives the group's state and the selection afterwards.
void tst_KelvaraSelection::shouldSumUpLibrariesInGroup_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<Qt::CheckState>("groupState");
    QTest::addColumn<QStringList>("selected");

    QTest::newRow("first of two") << QList<int>{0} << Qt::PartiallyChecked << QStringList{u"a"_s};
    QTest::newRow("second of two") << QList<int>{1} << Qt::PartiallyChecked << QStringList{u"b"_s};
    QTest::newRow("both") << QList<int>{1, 0} << Qt::Checked << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("both, then one off") << QList<int>{0, 1, 0} << Qt::PartiallyChecked << QStringList{u"b"_s};
    QTest::newRow("both, then both off") << QList<int>{0, 1, 1, 0} << Qt::Unchecked << QStringList();
    QTest::newRow("partial group clicked") << QList<int>{1, -1} << Qt::Checked << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("checked group, one off") << QList<int>{-1, 0} << Qt::PartiallyChecked << QStringList{u"b"_s};
}

void tst_KelvaraSelection::shouldSumUpLibrariesInGroup()
{
    QFETCH(QList<int>, clicks);
    QFETCH(Qt::CheckState, groupState);
    QFETCH(QStringList, selected);

    KelvaraSelection dialog;
    QVERIFY(showFilled(dialog, libraryMap({{u"g"_s, {u"a"_s, u"b"_s}}})));
    for (int library : std::as_const(clicks))
        clickCheckBox(dialog, 0, library);
    QCOMPARE(item(dialog, 0)->checkState(0), groupState);
    QCOMPARE(dialog.selectedItems(), selected);
}

void tst_KelvaraSelection::shouldListSameNameOncePerCheckedLibrary()
{
    KelvaraSelection dialog;
    QVERIFY(showFilled(dialog, libraryMap({{u"one"_s, {u"shared"_s, u"x"_s}}, {u"two"_s, {u"y"_s, u"shared"_s}}})));
    clickCheckBox(dialog, 1, 1);
    clickCheckBox(dialog, 1, 0);
    clickCheckBox(dialog, 0, 0);
    QCOMPARE(dialog.selectedItems(), QStringList({u"shared"_s, u"y"_s, u"shared"_s}));
}

void tst_KelvaraSelection::shouldEnableOkExactlyWhileLibraryChecked()
{
    KelvaraSelection dialog;
    QVERIFY(showFilled(dialog, libraryMap({{u"g"_s, {u"a"_s, u"b"_s}}, {u"h"_s, {u"c"_s}}})));
    QVERIFY(!okEnabled(dialog));
    // Clicks (group, library or -1 for the group), each with whether Ok is enabled afterwards.
    const QList<std::tuple<int, int, bool>> steps = {
        {0, 0, true}, {0, 0, false}, {1, 0, true}, {0, -1, true}, {1, 0, true},
        {0, -1, false}, {0, 1, true}, {1, -1, true}, {0, 1, true}, {1, -1, false},
    };
    for (const auto &[group, library, enabled] : steps) {
        clickCheckBox(dialog, group, library);
        QCOMPARE(okEnabled(dialog), enabled);
    }
}

void tst_KelvaraSelection::shouldIgnoreGroupWithoutLibraries()
{
    KelvaraSelection dialog;
    QVERIFY(showFilled(dialog, libraryMap({{u"empty"_s, {}}})));
    clickCheckBox(dialog, 0);
    QCOMPARE(item(dialog, 0)->checkState(0), Qt::Checked);
    QVERIFY(!okEnabled(dialog));
    QCOMPARE(dialog.selectedItems(), QStringList());
}

void tst_KelvaraSelection::shouldToggleCurrentItemWithSpace()
{
    KelvaraSelection dialog;
    QVERIFY(showFilled(dialog, libraryMap({{u"g"_s, {u"a"_s, u"b"_s}}})));
    QTreeWidget *view = tree(dialog);
    view->setFocus();
    // Space goes on from the library whose box was clicked.
    clickCheckBox(dialog, 0, 1);
    QCOMPARE(item(dialog, 0)->checkState(0), Qt::PartiallyChecked);
    QVERIFY(okEnabled(dialog));
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(item(dialog, 0)->checkState(0), Qt::Unchecked);
    QVERIFY(!okEnabled(dialog));

    view->setCurrentItem(item(dialog, 0));
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(dialog.selectedItems(), QStringList({u"a"_s, u"b"_s}));
    QVERIFY(okEnabled(dialog));
}

void tst_KelvaraSelection::shouldShowCutNameWholeInToolTip()
{
    const QString cut = u"Kelvara <b>library</b> "_s + QString(200, u'x') + u" A"_s;
    KelvaraSelection dialog;
    QVERIFY(showFilled(dialog, libraryMap({{u"g"_s, {u"short"_s, cut, cut.chopped(1) + u'B'}}})));
    QTreeWidget *view = tree(dialog);
    const auto toolTipOver = [view](QTreeWidgetItem *target) {
        const QPoint at = view->visualItemRect(target).center();
        QHelpEvent event(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &event);
        return QToolTip::isVisible() ? QTextDocumentFragment::fromHtml(QToolTip::text()).toPlainText() : QString();
    };
    QCOMPARE(toolTipOver(item(dialog, 0, 0)), QString());
    QCOMPARE(toolTipOver(item(dialog, 0, 1)), cut);

    // Cut by a few characters: the viewport is wide enough, its indented row is not.
    QTreeWidgetItem *nearly = item(dialog, 0, 0);
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.widget = view;
    const QModelIndex index = view->indexAt(view->visualItemRect(nearly).center());
    while (view->itemDelegate()->sizeHint(option, index).width() <= view->visualItemRect(nearly).width())
        nearly->setText(0, nearly->text(0) + u'x');
    QVERIFY(view->itemDelegate()->sizeHint(option, index).width() <= view->viewport()->width());
    QCOMPARE(toolTipOver(nearly), nearly->text(0));
    QToolTip::hideText();
    QTRY_VERIFY(QApplication::topLevelWidgets() == QWidgetList{&dialog});
}

void tst_KelvaraSelection::shouldReportAggregationMode()
{
    KelvaraSelection dialog;
    QVERIFY(showFilled(dialog, QVariantMap()));
    auto *compound = dialog.findChild<QRadioButton *>(u"rbCompound"_s);
    auto *batch = dialog.findChild<QRadioButton *>(u"rbBatch"_s);
    QTest::mouseClick(batch, Qt::LeftButton);
    QVERIFY(!compound->isChecked());
    QCOMPARE(dialog.aggregationMode(), u"batch"_s);
    QTest::mouseClick(compound, Qt::LeftButton);
    QVERIFY(!batch->isChecked());
    QCOMPARE(dialog.aggregationMode(), u"compound"_s);
}

enum class Ending { OkButton, CancelButton, EscapeKey, CloseWindow };
Q_DECLARE_METATYPE(Ending)

void tst_KelvaraSelection::shouldReturnWhetherAccepted_data()
{
    QTest::addColumn<Ending>("ending");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("Ok button") << Ending::OkButton << true;
    QTest::newRow("Cancel button") << Ending::CancelButton << false;
    QTest::newRow("Escape key") << Ending::EscapeKey << false;
    QTest::newRow("window close") << Ending::CloseWindow << false;
}

void tst_KelvaraSelection::shouldReturnWhetherAccepted()
{
    QFETCH(Ending, ending);
    QFETCH(bool, accepted);
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{u"g"_s, {u"a"_s}}, {u"h"_s, {u"b"_s, u"c"_s}}}));
    QTimer::singleShot(0, &dialog, [&] {
        clickCheckBox(dialog, 1);
        clickCheckBox(dialog, 1, 0);
        switch (ending) {
        case Ending::OkButton:
            QTest::mouseClick(button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
            break;
        case Ending::CancelButton:
            QTest::mouseClick(button(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
            break;
        case Ending::EscapeKey:
            QTest::keyClick(&dialog, Qt::Key_Escape);
            break;
        case Ending::CloseWindow:
            dialog.close();
            break;
        }
        // Should the user's action have missed, end the loop with a result the test rejects.
        if (dialog.isVisible())
            dialog.done(-1);
    });
    QCOMPARE(dialog.run(), accepted);
    QCOMPARE(dialog.result(), int(accepted ? QDialog::Accepted : QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.selectedItems(), QStringList{u"c"_s});

    // It runs again from where the user left it.
    QTimer::singleShot(0, &dialog, [&] { QTest::mouseClick(button(dialog, QDialogButtonBox::Ok), Qt::LeftButton); });
    QVERIFY(dialog.run());
    QCOMPARE(dialog.selectedItems(), QStringList{u"c"_s});
}

// listSelectionChanged is reachable through the meta-object too, with or
// without a change behind it; the Ok button must stay right either way.
void tst_KelvaraSelection::shouldKeepOkRightThroughMetaObjectCalls()
{
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{u"g"_s, {u"a"_s, u"b"_s}}}));
    QTreeWidgetItem *group = item(dialog, 0);
    QTreeWidgetItem *a = item(dialog, 0, 0);
    for (int repeat = 0; repeat < 3; ++repeat)
        invokeSlot(dialog, a);
    QVERIFY(!okEnabled(dialog));

    toggle(a);
    for (int repeat = 0; repeat < 3; ++repeat) {
        invokeSlot(dialog, a);
        invokeSlot(dialog, group);
    }
    QCOMPARE(group->checkState(0), Qt::PartiallyChecked);
    QVERIFY(okEnabled(dialog));

    // A change the slot did not hear about is taken in when it is told.
    {
        const QSignalBlocker blocker(tree(dialog));
        a->setCheckState(0, Qt::Unchecked);
    }
    invokeSlot(dialog, a);
    QCOMPARE(group->checkState(0), Qt::Unchecked);
    QVERIFY(!okEnabled(dialog));
    {
        const QSignalBlocker blocker(tree(dialog));
        group->setCheckState(0, Qt::Checked);
    }
    invokeSlot(dialog, group);
    QCOMPARE(dialog.selectedItems(), QStringList({u"a"_s, u"b"_s}));
    QVERIFY(okEnabled(dialog));
    toggle(group);
    QVERIFY(!okEnabled(dialog));
}

// The partially checked state only sums up a group's libraries; applying it
// again must not wipe out the libraries that are checked.
void tst_KelvaraSelection::shouldKeepLibrariesWhenPartialGroupIsReapplied()
{
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{u"g"_s, {u"a"_s, u"b"_s}}, {u"h"_s, {u"c"_s}}}));
    toggle(item(dialog, 0, 1));
    invokeSlot(dialog, item(dialog, 0));
    QCOMPARE(snapshot(tree(dialog)).mid(0, 3),
             QStringList({u"g partial  open 2"_s, u"  a unchecked Library closed 0"_s,
                          u"  b checked Library closed 0"_s}));
    QVERIFY(okEnabled(dialog));

    // Set from outside, the state is taken back to what the libraries say.
    item(dialog, 1)->setCheckState(0, Qt::PartiallyChecked);
    QCOMPARE(item(dialog, 1)->checkState(0), Qt::Unchecked);
    QCOMPARE(item(dialog, 1, 0)->checkState(0), Qt::Unchecked);
    QCOMPARE(dialog.selectedItems(), QStringList{u"b"_s});
}

void tst_KelvaraSelection::shouldIgnoreForeignAndNullItems()
{
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{u"g"_s, {u"a"_s}}}));
    toggle(item(dialog, 0, 0));
    const QStringList before = snapshot(tree(dialog));

    // A library-looking item of no tree: it has no group to recompute.
    QTreeWidgetItem orphan(QStringList{u"a"_s});
    orphan.setCheckState(0, Qt::Unchecked);
    orphan.setData(0, Qt::UserRole, u"Library"_s);
    invokeSlot(dialog, &orphan);
    // A group of another tree, whose libraries are not the dialog's to change.
    QTreeWidget other;
    auto *group = new QTreeWidgetItem(&other, QStringList{u"g"_s});
    auto *library = new QTreeWidgetItem(group, QStringList{u"a"_s});
    library->setCheckState(0, Qt::Unchecked);
    group->setCheckState(0, Qt::Checked);
    invokeSlot(dialog, group);
    invokeSlot(dialog, nullptr);

    QCOMPARE(library->checkState(0), Qt::Unchecked);
    QCOMPARE(snapshot(tree(dialog)), before);
    QVERIFY(okEnabled(dialog));
    toggle(item(dialog, 0, 0));
    QVERIFY(!okEnabled(dialog));
}

void tst_KelvaraSelection::shouldMatchReferenceOnRandomChanges_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 40; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

// Random sequences of clicks, fills, repeated and silent-then-announced
// changes, applied to the dialog and to the reference alike; after each step
// every item, the Ok button and the selection must agree.
void tst_KelvaraSelection::shouldMatchReferenceOnRandomChanges()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    KelvaraSelection dialog;
    ReferenceSelection reference;
    QTreeWidget *view = tree(dialog);

    // The same item of both trees: the n-th in pre-order.
    const auto nth = [](QTreeWidget *in, int n) {
        QTreeWidgetItemIterator it(in);
        while (n-- > 0)
            ++it;
        return *it;
    };
    const auto toldAgain = [&](int n) {
        // A partially checked group is the one deliberate departure from the
        // reference, covered on its own above.
        if (nth(view, n)->checkState(0) == Qt::PartiallyChecked)
            return;
        invokeSlot(dialog, nth(view, n));
        reference.listSelectionChanged(nth(&reference.view, n), 0);
    };

    const QVariantMap first = randomMap(random);
    dialog.setAvailableItems(first);
    reference.setAvailableItems(first);
    for (int step = 0; step < 60; ++step) {
        const int what = random.bounded(10);
        const int n = random.bounded(int(snapshot(view).size()));
        if (what == 0) {
            const QVariantMap more = randomMap(random);
            dialog.setAvailableItems(more);
            reference.setAvailableItems(more);
        } else if (what <= 6) {
            toggle(nth(view, n));
            toggle(nth(&reference.view, n));
        } else if (what <= 8) {
            toldAgain(n);
        } else {
            // Changed behind the slot's back, and only then told.
            const Qt::CheckState state = random.bounded(2) ? Qt::Checked : Qt::Unchecked;
            for (QTreeWidget *in : {view, &reference.view}) {
                const QSignalBlocker blocker(in);
                nth(in, n)->setCheckState(0, state);
            }
            toldAgain(n);
        }
        QCOMPARE(snapshot(view), snapshot(&reference.view));
        QCOMPARE(okEnabled(dialog), reference.ok);
        QCOMPARE(dialog.selectedItems(), reference.selectedItems());
    }
}

// What a screen reader announces for each control that Tab reaches, in Tab order.
void tst_KelvaraSelection::shouldNameEveryControl_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QAccessible::Role>("role");

    int position = 0;
    const auto row = [&position](const char *control, const QString &name, QAccessible::Role role) {
        QTest::newRow(control) << position++ << name << role;
    };
    row("treeWidget", u"Libraries:"_s, QAccessible::Tree);
    row("rbCompound", u"Compound"_s, QAccessible::RadioButton);
    row("rbBatch", u"Batch"_s, QAccessible::RadioButton);
    row("Ok", u"OK"_s, QAccessible::Button);
    row("Cancel", u"Cancel"_s, QAccessible::Button);
}

void tst_KelvaraSelection::shouldNameEveryControl()
{
    verifyAnnounced<KelvaraSelection>();
}

// A user without a mouse: Tab to the tree, an arrow key to a library, Space
// to check it, Return for Ok.
void tst_KelvaraSelection::shouldWorkByKeyboardAlone()
{
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{u"g"_s, {u"a"_s, u"b"_s}}}));
    const AccessibleEvents events({QAccessible::TreeItem, QAccessible::Cell});
    walkByKeyboardOnceRunning(&dialog, tree(dialog));
    QVERIFY(dialog.run());
    QCOMPARE(dialog.selectedItems(), QStringList{u"a"_s});
    QStringList expected = {u"Focus g"_s, u"Focus a"_s, u"StateChanged a: checked"_s};
    if (checkStateGoesIntoDescription) {
        expected << u"DescriptionChanged a: checked"_s;
        QCOMPARE(item(dialog, 0)->data(0, Qt::AccessibleDescriptionRole).toString(), u"partially checked"_s);
    }
    QCOMPARE(events.heard, expected);
}

QTEST_MAIN(tst_KelvaraSelection)
#include "tst_kelvaraselection.moc"
