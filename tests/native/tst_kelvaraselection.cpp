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
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <tuple>

namespace {

QTreeWidget *tree(const QDialog &dialog)
{
    return dialog.findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
}

QPushButton *button(const QDialog &dialog, QDialogButtonBox::StandardButton which)
{
    return dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->button(which);
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
    const QModelIndex index = view->indexAt(option.rect.center());
    QVERIFY(view->itemAt(option.rect.center()) == target);
    StyleOptionProbe().initStyleOption(&option, index);
    const QRect indicator = view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
    QVERIFY(indicator.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, indicator.center());
}

// Every item in pre-order with what it shows and holds: text (libraries
// indented), check state (or none), marker, expansion and child count.
QStringList snapshot(QTreeWidget *view)
{
    static const QStringList stateNames = {QStringLiteral("unchecked"), QStringLiteral("partial"),
                                           QStringLiteral("checked")};
    QStringList lines;
    for (QTreeWidgetItemIterator it(view); *it; ++it) {
        const QTreeWidgetItem *node = *it;
        const QVariant check = node->data(0, Qt::CheckStateRole);
        lines << QStringLiteral("%1%2 %3 %4 %5 %6")
                     .arg(node->parent() ? QStringLiteral("  ") : QString(), node->text(0),
                          check.isValid() ? stateNames.value(check.toInt()) : QStringLiteral("none"),
                          node->data(0, Qt::UserRole).toString(),
                          node->isExpanded() ? QStringLiteral("open") : QStringLiteral("closed"))
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
                library->setData(0, Qt::UserRole, QStringLiteral("Library"));
            }
            view.expandItem(group);
            group->setCheckState(0, Qt::Unchecked);
        }
    }

    QStringList selectedItems() const
    {
        QStringList names;
        for (QTreeWidgetItemIterator it(const_cast<QTreeWidget *>(&view)); *it; ++it) {
            if ((*it)->checkState(0) == Qt::Checked && (*it)->data(0, Qt::UserRole).toString() == QStringLiteral("Library"))
                names << (*it)->text(0);
        }
        return names;
    }

    void listSelectionChanged(QTreeWidgetItem *changed, int column)
    {
        if (inCheckUpdate)
            return;
        inCheckUpdate = true;
        const auto leavesUnder = [](QTreeWidgetItem *group, const auto &visit) {
            for (QTreeWidgetItemIterator it(group, QTreeWidgetItemIterator::NoChildren); *it && (*it)->parent() == group; ++it)
                visit(*it);
        };
        if (changed->data(column, Qt::UserRole).toString() != QStringLiteral("Library")) {
            leavesUnder(changed, [changed](QTreeWidgetItem *leaf) { leaf->setCheckState(0, changed->checkState(0)); });
        } else {
            QTreeWidgetItem *group = changed->parent();
            bool all = true;
            bool none = true;
            leavesUnder(group, [&](QTreeWidgetItem *leaf) {
                (leaf->checkState(0) == Qt::Checked ? none : all) = false;
            });
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
    static const QStringList names = {QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("C"),
                                      QStringLiteral("é"), QString()};
    QVariantMap map;
    const int groups = random.bounded(1, 4);
    for (int g = 0; g < groups; ++g) {
        QVariantList list;
        const int libraries = random.bounded(0, 5);
        for (int l = 0; l < libraries; ++l)
            list << names.at(random.bounded(int(names.size())));
        map.insert(names.at(random.bounded(int(names.size()))), list);
    }
    return map;
}

void toggle(QTreeWidgetItem *target)
{
    // What a click or Space does to an item that is not user-tristate.
    target->setCheckState(0, target->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void invokeSlot(KelvaraSelection &dialog, QTreeWidgetItem *target)
{
    QVERIFY(QMetaObject::invokeMethod(&dialog, "listSelectionChanged", Q_ARG(QTreeWidgetItem *, target),
                                      Q_ARG(int, 0)));
}

} // namespace

class tst_KelvaraSelection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void shouldHaveDefaultValuesOnCreation();
    void shouldLayOutForm();
    void shouldDeclareSlotsInOrder();
    void shouldFillTree_data();
    void shouldFillTree();
    void shouldAppendOnSecondFill();
    void shouldPushGroupStateToLibraries();
    void shouldSumUpLibrariesInGroup_data();
    void shouldSumUpLibrariesInGroup();
    void shouldCheckAllWhenClickingPartialGroup();
    void shouldListSameNameOncePerCheckedLibrary();
    void shouldEnableOkExactlyWhileLibraryChecked();
    void shouldIgnoreGroupWithoutLibraries();
    void shouldToggleCurrentItemWithSpace();
    void shouldReportAggregationMode();
    void shouldReturnTrueOnOk();
    void shouldReturnFalseOnEveryReject_data();
    void shouldReturnFalseOnEveryReject();
    void shouldKeepOkRightThroughMetaObjectCalls();
    void shouldKeepLibrariesWhenPartialGroupIsReapplied();
    void shouldIgnoreForeignAndNullItems();
    void shouldMatchReferenceOnRandomChanges_data();
    void shouldMatchReferenceOnRandomChanges();
};

void tst_KelvaraSelection::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_KelvaraSelection::shouldHaveDefaultValuesOnCreation()
{
    KelvaraSelection dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("KelvaraSelection"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Select Kelvara Libraries"));
    QCOMPARE(dialog.size(), QSize(400, 300));
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.isModal());
    QCOMPARE(dialog.parent(), nullptr);

    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label"))->text(), QStringLiteral("Libraries:"));
    QCOMPARE(dialog.findChild<QGroupBox *>(QStringLiteral("groupBox"))->title(), QStringLiteral("Aggregation:"));
    auto *compound = dialog.findChild<QRadioButton *>(QStringLiteral("rbCompound"));
    auto *batch = dialog.findChild<QRadioButton *>(QStringLiteral("rbBatch"));
    QCOMPARE(compound->text(), QStringLiteral("Compound"));
    QCOMPARE(batch->text(), QStringLiteral("Batch"));
    QVERIFY(compound->isChecked());
    QVERIFY(!batch->isChecked());
    QCOMPARE(dialog.aggregationMode(), QStringLiteral("compound"));

    QTreeWidget *view = tree(dialog);
    QCOMPARE(view->topLevelItemCount(), 0);
    QCOMPARE(view->columnCount(), 1);
    QCOMPARE(view->headerItem()->text(0), QStringLiteral("1"));
    QVERIFY(view->header()->isHidden());
    QCOMPARE(view->selectionMode(), QAbstractItemView::NoSelection);
    QCOMPARE(dialog.selectedItems(), QStringList());
    QVERIFY(!okEnabled(dialog));
    QVERIFY(button(dialog, QDialogButtonBox::Cancel)->isEnabled());
}

void tst_KelvaraSelection::shouldLayOutForm()
{
    KelvaraSelection dialog;
    auto *layout = dialog.findChild<QVBoxLayout *>(QStringLiteral("verticalLayout"));
    QCOMPARE(dialog.layout(), layout);
    const QStringList expected = {QStringLiteral("label"), QStringLiteral("treeWidget"), QStringLiteral("groupBox"),
                                  QStringLiteral("buttonBox")};
    QCOMPARE(layout->count(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(layout->itemAt(i)->widget()->objectName(), expected.at(i));

    auto *row = dialog.findChild<QHBoxLayout *>(QStringLiteral("horizontalLayout"));
    QCOMPARE(dialog.findChild<QGroupBox *>(QStringLiteral("groupBox"))->layout(), row);
    QCOMPARE(row->count(), 3);
    QCOMPARE(row->itemAt(0)->widget()->objectName(), QStringLiteral("rbCompound"));
    QCOMPARE(row->itemAt(1)->widget()->objectName(), QStringLiteral("rbBatch"));
    QSpacerItem *spacer = row->itemAt(2)->spacerItem();
    QVERIFY(spacer);
    QCOMPARE(spacer->sizeHint(), QSize(40, 20));
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);

    auto *box = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
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

// Each row: the map, and the tree it must give (groups unindented, their
// libraries indented), all unchecked with the group expanded.
void tst_KelvaraSelection::shouldFillTree_data()
{
    QTest::addColumn<QVariantMap>("map");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty map") << QVariantMap() << QStringList();
    QTest::newRow("keys in ascending order, upper case first")
        << libraryMap({{QStringLiteral("alpha"), {QStringLiteral("a1")}},
                       {QStringLiteral("Zeta"), {QStringLiteral("z2"), QStringLiteral("z1")}}})
        << QStringList{QStringLiteral("Zeta"), QStringLiteral("  z2"), QStringLiteral("  z1"),
                       QStringLiteral("alpha"), QStringLiteral("  a1")};
    QTest::newRow("duplicates and empty names stay")
        << libraryMap({{QStringLiteral("g"), {QStringLiteral("x"), QString(), QStringLiteral("x")}}})
        << QStringList{QStringLiteral("g"), QStringLiteral("  x"), QStringLiteral("  "), QStringLiteral("  x")};
    QTest::newRow("empty list") << libraryMap({{QStringLiteral("empty"), {}}}) << QStringList{QStringLiteral("empty")};
    QTest::newRow("non-ASCII") << libraryMap({{QStringLiteral("Grüppe"), {QStringLiteral("ライブラリ")}}})
                               << QStringList{QStringLiteral("Grüppe"), QStringLiteral("  ライブラリ")};
    QVariantMap mixed;
    mixed.insert(QStringLiteral("numbers"), QVariantList{3, 2.5});
    mixed.insert(QStringLiteral("not a list"), 7);
    QTest::newRow("values read with toList and toString")
        << mixed << QStringList{QStringLiteral("not a list"), QStringLiteral("numbers"), QStringLiteral("  3"),
                                QStringLiteral("  2.5")};
}

void tst_KelvaraSelection::shouldFillTree()
{
    QFETCH(QVariantMap, map);
    QFETCH(QStringList, expected);

    KelvaraSelection dialog;
    dialog.setAvailableItems(map);
    QStringList texts;
    for (QTreeWidgetItemIterator it(tree(dialog)); *it; ++it) {
        const QTreeWidgetItem *node = *it;
        texts << (node->parent() ? QStringLiteral("  ") : QString()) + node->text(0);
        QCOMPARE(node->type(), int(QTreeWidgetItem::Type));
        QCOMPARE(node->flags(), Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled
                                    | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
        // An explicit Unchecked, not merely no check state.
        QCOMPARE(node->data(0, Qt::CheckStateRole), QVariant(int(Qt::Unchecked)));
        if (node->parent()) {
            QCOMPARE(node->data(0, Qt::UserRole), QVariant(QStringLiteral("Library")));
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
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.setAvailableItems(libraryMap({{QStringLiteral("g"), {QStringLiteral("a"), QStringLiteral("b")}}}));
    clickCheckBox(tree(dialog), item(dialog, 0, 1));
    QVERIFY(okEnabled(dialog));

    dialog.setAvailableItems(libraryMap({{QStringLiteral("g"), {QStringLiteral("c")}},
                                         {QStringLiteral("f"), {QStringLiteral("d")}}}));
    QCOMPARE(snapshot(tree(dialog)),
             QStringList({QStringLiteral("g partial  open 2"), QStringLiteral("  a unchecked Library closed 0"),
                          QStringLiteral("  b checked Library closed 0"), QStringLiteral("f unchecked  open 1"),
                          QStringLiteral("  d unchecked Library closed 0"), QStringLiteral("g unchecked  open 1"),
                          QStringLiteral("  c unchecked Library closed 0")}));
    QCOMPARE(dialog.selectedItems(), QStringList{QStringLiteral("b")});
    QVERIFY(okEnabled(dialog));

    // The new groups work like the old ones, and the old one still does.
    clickCheckBox(tree(dialog), item(dialog, 2));
    clickCheckBox(tree(dialog), item(dialog, 0, 1));
    QCOMPARE(dialog.selectedItems(), QStringList{QStringLiteral("c")});
    QCOMPARE(item(dialog, 0)->checkState(0), Qt::Unchecked);
    QVERIFY(okEnabled(dialog));
}

void tst_KelvaraSelection::shouldPushGroupStateToLibraries()
{
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{QStringLiteral("g"), {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
                                         {QStringLiteral("h"), {QStringLiteral("d")}}}));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    for (Qt::CheckState state : {Qt::Checked, Qt::Unchecked}) {
        QSignalSpy changed(tree(dialog), &QTreeWidget::itemChanged);
        clickCheckBox(tree(dialog), item(dialog, 0));
        // Each item changes once, straight to its new state.
        QCOMPARE(changed.count(), 4);
        QCOMPARE(item(dialog, 0)->checkState(0), state);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(item(dialog, 0, i)->checkState(0), state);
        QCOMPARE(item(dialog, 1, 0)->checkState(0), Qt::Unchecked);
        QCOMPARE(okEnabled(dialog), state == Qt::Checked);
    }
    QCOMPARE(dialog.selectedItems(), QStringList());
}

// Each row clicks libraries of a two-library group, in order, and gives the
// group's state afterwards.
void tst_KelvaraSelection::shouldSumUpLibrariesInGroup_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<Qt::CheckState>("groupState");
    QTest::addColumn<QStringList>("selected");

    QTest::newRow("first of two") << QList<int>{0} << Qt::PartiallyChecked << QStringList{QStringLiteral("a")};
    QTest::newRow("second of two") << QList<int>{1} << Qt::PartiallyChecked << QStringList{QStringLiteral("b")};
    QTest::newRow("both") << QList<int>{1, 0} << Qt::Checked << QStringList{QStringLiteral("a"), QStringLiteral("b")};
    QTest::newRow("both, then one off") << QList<int>{0, 1, 0} << Qt::PartiallyChecked << QStringList{QStringLiteral("b")};
    QTest::newRow("both, then both off") << QList<int>{0, 1, 1, 0} << Qt::Unchecked << QStringList();
}

void tst_KelvaraSelection::shouldSumUpLibrariesInGroup()
{
    QFETCH(QList<int>, clicks);
    QFETCH(Qt::CheckState, groupState);
    QFETCH(QStringList, selected);

    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{QStringLiteral("g"), {QStringLiteral("a"), QStringLiteral("b")}}}));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (int library : std::as_const(clicks))
        clickCheckBox(tree(dialog), item(dialog, 0, library));
    QCOMPARE(item(dialog, 0)->checkState(0), groupState);
    QCOMPARE(dialog.selectedItems(), selected);
}

void tst_KelvaraSelection::shouldCheckAllWhenClickingPartialGroup()
{
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{QStringLiteral("g"), {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}}}));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    clickCheckBox(tree(dialog), item(dialog, 0, 1));
    QCOMPARE(item(dialog, 0)->checkState(0), Qt::PartiallyChecked);

    clickCheckBox(tree(dialog), item(dialog, 0));
    QCOMPARE(item(dialog, 0)->checkState(0), Qt::Checked);
    QCOMPARE(dialog.selectedItems(), QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
}

void tst_KelvaraSelection::shouldListSameNameOncePerCheckedLibrary()
{
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{QStringLiteral("one"), {QStringLiteral("shared"), QStringLiteral("x")}},
                                         {QStringLiteral("two"), {QStringLiteral("y"), QStringLiteral("shared")}}}));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    clickCheckBox(tree(dialog), item(dialog, 1, 1));
    clickCheckBox(tree(dialog), item(dialog, 1, 0));
    clickCheckBox(tree(dialog), item(dialog, 0, 0));
    QCOMPARE(dialog.selectedItems(),
             QStringList({QStringLiteral("shared"), QStringLiteral("y"), QStringLiteral("shared")}));
}

void tst_KelvaraSelection::shouldEnableOkExactlyWhileLibraryChecked()
{
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{QStringLiteral("g"), {QStringLiteral("a"), QStringLiteral("b")}},
                                         {QStringLiteral("h"), {QStringLiteral("c")}}}));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(!okEnabled(dialog));

    // Clicks, each with whether Ok is enabled afterwards.
    const QList<std::tuple<int, int, bool>> steps = {
        {0, 0, true}, {0, 0, false}, {1, 0, true}, {0, -1, true}, {1, 0, true},
        {0, -1, false}, {0, 1, true}, {1, -1, true}, {0, 1, true}, {1, -1, false},
    };
    for (const auto &[group, library, enabled] : steps) {
        clickCheckBox(tree(dialog), item(dialog, group, library));
        QCOMPARE(okEnabled(dialog), enabled);
        QCOMPARE(okEnabled(dialog), !dialog.selectedItems().isEmpty());
    }
}

void tst_KelvaraSelection::shouldIgnoreGroupWithoutLibraries()
{
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{QStringLiteral("empty"), {}}}));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(item(dialog, 0)->childCount(), 0);
    QCOMPARE(item(dialog, 0)->checkState(0), Qt::Unchecked);

    clickCheckBox(tree(dialog), item(dialog, 0));
    QCOMPARE(item(dialog, 0)->checkState(0), Qt::Checked);
    QVERIFY(!okEnabled(dialog));
    QCOMPARE(dialog.selectedItems(), QStringList());
}

void tst_KelvaraSelection::shouldToggleCurrentItemWithSpace()
{
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{QStringLiteral("g"), {QStringLiteral("a"), QStringLiteral("b")}}}));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTreeWidget *view = tree(dialog);
    view->setFocus();
    view->setCurrentItem(item(dialog, 0, 1));

    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(item(dialog, 0)->checkState(0), Qt::PartiallyChecked);
    QVERIFY(okEnabled(dialog));
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(item(dialog, 0)->checkState(0), Qt::Unchecked);
    QVERIFY(!okEnabled(dialog));

    view->setCurrentItem(item(dialog, 0));
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(dialog.selectedItems(), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    QVERIFY(okEnabled(dialog));
}

void tst_KelvaraSelection::shouldReportAggregationMode()
{
    KelvaraSelection dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *compound = dialog.findChild<QRadioButton *>(QStringLiteral("rbCompound"));
    auto *batch = dialog.findChild<QRadioButton *>(QStringLiteral("rbBatch"));

    QTest::mouseClick(batch, Qt::LeftButton);
    QVERIFY(!compound->isChecked());
    QCOMPARE(dialog.aggregationMode(), QStringLiteral("batch"));
    QTest::mouseClick(compound, Qt::LeftButton);
    QVERIFY(!batch->isChecked());
    QCOMPARE(dialog.aggregationMode(), QStringLiteral("compound"));
}

void tst_KelvaraSelection::shouldReturnTrueOnOk()
{
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{QStringLiteral("g"), {QStringLiteral("a"), QStringLiteral("b")}}}));
    bool okBeforeCheck = true;
    QTimer::singleShot(0, &dialog, [&] {
        okBeforeCheck = okEnabled(dialog);
        clickCheckBox(tree(dialog), item(dialog, 0, 1));
        QTest::mouseClick(dialog.findChild<QRadioButton *>(QStringLiteral("rbBatch")), Qt::LeftButton);
        QTest::mouseClick(button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
        if (dialog.isVisible())
            dialog.reject();
    });
    QVERIFY(dialog.run());
    QVERIFY(!okBeforeCheck);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.selectedItems(), QStringList{QStringLiteral("b")});
    QCOMPARE(dialog.aggregationMode(), QStringLiteral("batch"));
}

enum class RejectPath { CancelButton, EscapeKey, CloseWindow };
Q_DECLARE_METATYPE(RejectPath)

void tst_KelvaraSelection::shouldReturnFalseOnEveryReject_data()
{
    QTest::addColumn<RejectPath>("path");
    QTest::newRow("Cancel button") << RejectPath::CancelButton;
    QTest::newRow("Escape key") << RejectPath::EscapeKey;
    QTest::newRow("window close") << RejectPath::CloseWindow;
}

void tst_KelvaraSelection::shouldReturnFalseOnEveryReject()
{
    QFETCH(RejectPath, path);
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{QStringLiteral("g"), {QStringLiteral("a")}},
                                         {QStringLiteral("h"), {QStringLiteral("b"), QStringLiteral("c")}}}));
    QTimer::singleShot(0, &dialog, [&] {
        clickCheckBox(tree(dialog), item(dialog, 1));
        clickCheckBox(tree(dialog), item(dialog, 1, 0));
        switch (path) {
        case RejectPath::CancelButton:
            QTest::mouseClick(button(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
            break;
        case RejectPath::EscapeKey:
            QTest::keyClick(&dialog, Qt::Key_Escape);
            break;
        case RejectPath::CloseWindow:
            dialog.close();
            break;
        }
        if (dialog.isVisible())
            dialog.accept();
    });
    QVERIFY(!dialog.run());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.selectedItems(), QStringList{QStringLiteral("c")});
    QVERIFY(okEnabled(dialog));

    // The dialog can run again and starts from where the user left it.
    QTimer::singleShot(0, &dialog, [&] { QTest::mouseClick(button(dialog, QDialogButtonBox::Ok), Qt::LeftButton); });
    QVERIFY(dialog.run());
    QCOMPARE(dialog.selectedItems(), QStringList{QStringLiteral("c")});
}

// listSelectionChanged is reachable through the meta-object too, with or
// without a change behind it; the Ok button must stay right either way.
void tst_KelvaraSelection::shouldKeepOkRightThroughMetaObjectCalls()
{
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{QStringLiteral("g"), {QStringLiteral("a"), QStringLiteral("b")}}}));
    QTreeWidget *view = tree(dialog);
    QTreeWidgetItem *a = item(dialog, 0, 0);

    for (int repeat = 0; repeat < 3; ++repeat)
        invokeSlot(dialog, a);
    QVERIFY(!okEnabled(dialog));

    toggle(a);
    QVERIFY(okEnabled(dialog));
    for (int repeat = 0; repeat < 3; ++repeat) {
        invokeSlot(dialog, a);
        invokeSlot(dialog, item(dialog, 0));
    }
    QCOMPARE(item(dialog, 0)->checkState(0), Qt::PartiallyChecked);
    QVERIFY(okEnabled(dialog));

    // A change the slot did not hear about is taken in when it is told.
    {
        const QSignalBlocker blocker(view);
        a->setCheckState(0, Qt::Unchecked);
    }
    invokeSlot(dialog, a);
    QCOMPARE(item(dialog, 0)->checkState(0), Qt::Unchecked);
    QVERIFY(!okEnabled(dialog));
    {
        const QSignalBlocker blocker(view);
        item(dialog, 0)->setCheckState(0, Qt::Checked);
    }
    invokeSlot(dialog, item(dialog, 0));
    QCOMPARE(dialog.selectedItems(), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    QVERIFY(okEnabled(dialog));
    toggle(item(dialog, 0));
    QVERIFY(!okEnabled(dialog));
}

// The partially checked state only sums up a group's libraries; applying it
// again must not wipe out the libraries that are checked.
void tst_KelvaraSelection::shouldKeepLibrariesWhenPartialGroupIsReapplied()
{
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{QStringLiteral("g"), {QStringLiteral("a"), QStringLiteral("b")}},
                                         {QStringLiteral("h"), {QStringLiteral("c")}}}));
    toggle(item(dialog, 0, 1));
    invokeSlot(dialog, item(dialog, 0));
    QCOMPARE(item(dialog, 0, 0)->checkState(0), Qt::Unchecked);
    QCOMPARE(item(dialog, 0, 1)->checkState(0), Qt::Checked);
    QCOMPARE(item(dialog, 0)->checkState(0), Qt::PartiallyChecked);
    QVERIFY(okEnabled(dialog));

    // Set from outside, the state is taken back to what the libraries say.
    item(dialog, 1)->setCheckState(0, Qt::PartiallyChecked);
    QCOMPARE(item(dialog, 1)->checkState(0), Qt::Unchecked);
    QCOMPARE(item(dialog, 1, 0)->checkState(0), Qt::Unchecked);
    QCOMPARE(dialog.selectedItems(), QStringList{QStringLiteral("b")});
}

void tst_KelvaraSelection::shouldIgnoreForeignAndNullItems()
{
    KelvaraSelection dialog;
    dialog.setAvailableItems(libraryMap({{QStringLiteral("g"), {QStringLiteral("a")}}}));
    toggle(item(dialog, 0, 0));
    const QStringList before = snapshot(tree(dialog));

    // A library-looking item of no tree: it has no group to recompute.
    QTreeWidgetItem orphan(QStringList{QStringLiteral("a")});
    orphan.setCheckState(0, Qt::Unchecked);
    orphan.setData(0, Qt::UserRole, QStringLiteral("Library"));
    invokeSlot(dialog, &orphan);
    // A group of another tree, whose libraries are not the dialog's to change.
    QTreeWidget other;
    auto *group = new QTreeWidgetItem(&other, QStringList{QStringLiteral("g")});
    auto *library = new QTreeWidgetItem(group, QStringList{QStringLiteral("a")});
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
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
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

QTEST_MAIN(tst_KelvaraSelection)
#include "tst_kelvaraselection.moc"
