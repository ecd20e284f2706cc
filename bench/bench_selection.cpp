// The selection dialog's costs against a bare QTreeWidget that holds the same
// items (texts, check states, data) with no handlers, measured in the same
// run. Prints the best time of several rounds (other work on the machine only
// ever adds time) and the ratios that matter; bench/bench_selection.py runs it
// and adds the costs seen from Python.
#include "benchsupport.h"
#include "kelvaraselection.h"

#include <QApplication>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>
#include <tuple>
#include <vector>

namespace {

constexpr int Rounds = 7;

QVariantMap libraryMap(int groups, int librariesPerGroup)
{
    QVariantMap map;
    for (int g = 0; g < groups; ++g) {
        QVariantList names;
        names.reserve(librariesPerGroup);
        for (int l = 0; l < librariesPerGroup; ++l)
            names.append(QStringLiteral("library %1.%2").arg(g).arg(l));
        map.insert(QStringLiteral("group %1").arg(g, 5, 10, QLatin1Char('0')), names);
    }
    return map;
}

// The least that gives the dialog's end state: the same items built off the
// tree, inserted at once, groups expanded.
void fillBareTree(QTreeWidget &tree, const QVariantMap &map)
{
    QList<QTreeWidgetItem *> groups;
    for (auto entry = map.cbegin(); entry != map.cend(); ++entry) {
        auto *group = new QTreeWidgetItem;
        group->setText(0, entry.key());
        const QVariantList names = entry.value().toList();
        QList<QTreeWidgetItem *> libraries;
        libraries.reserve(names.size());
        for (const QVariant &name : names) {
            auto *library = new QTreeWidgetItem;
            library->setText(0, name.toString());
            library->setCheckState(0, Qt::Unchecked);
            library->setData(0, Qt::UserRole, QStringLiteral("Library"));
            libraries.append(library);
        }
        group->addChildren(libraries);
        group->setCheckState(0, Qt::Unchecked);
        groups.append(group);
    }
    const int firstRow = tree.topLevelItemCount();
    tree.addTopLevelItems(groups);
    for (int row = firstRow; row < tree.topLevelItemCount(); ++row)
        tree.expand(tree.model()->index(row, 0));
}

QTreeWidget *treeOf(QDialog &dialog)
{
    return dialog.findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
}

// One fill of a new, hidden dialog, as a script makes it before run().
double dialogFill(const QVariantMap &map)
{
    KelvaraSelection dialog;
    return bench::elapsedMs([&] { dialog.setAvailableItems(map); });
}

double bareFill(const QVariantMap &map)
{
    QTreeWidget tree;
    return bench::elapsedMs([&] { fillBareTree(tree, map); });
}

struct StyleOptionProbe : QStyledItemDelegate
{
    using QStyledItemDelegate::initStyleOption;
};

// Where a user clicks to toggle the item's check box.
QPoint checkBoxCentre(QTreeWidget *tree, QTreeWidgetItem *item)
{
    QStyleOptionViewItem option;
    option.initFrom(tree);
    option.widget = tree;
    option.rect = tree->visualItemRect(item);
    StyleOptionProbe().initStyleOption(&option, tree->indexAt(option.rect.center()));
    return tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree).center();
}

// Two clicks on the check box of a group of 1,000 in a shown dialog of 100
// such groups, each followed by the repaint; the bare tree, shown at the same
// size, takes the same states for the group and its libraries.
bool measureGroupClicks(double &dialogMs, double &bareMs)
{
    const QVariantMap map = libraryMap(100, 1000);
    const int row = 50;
    KelvaraSelection dialog;
    dialog.setAvailableItems(map);
    dialog.show();
    QTreeWidget bare;
    fillBareTree(bare, map);
    bare.resize(treeOf(dialog)->size());
    bare.show();
    if (!QTest::qWaitForWindowExposed(&dialog) || !QTest::qWaitForWindowExposed(&bare))
        return false;
    QTreeWidget *tree = treeOf(dialog);
    QTreeWidgetItem *group = tree->topLevelItem(row);
    tree->scrollToItem(group, QAbstractItemView::PositionAtTop);
    bare.scrollToItem(bare.topLevelItem(row), QAbstractItemView::PositionAtTop);
    QCoreApplication::processEvents();
    const QPoint checkBox = checkBoxCentre(tree, group);

    const auto clicks = bench::takeTurns({
        [&] {
            return bench::elapsedMs([&] {
                for (int click = 0; click < 2; ++click) {
                    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, checkBox);
                    QCoreApplication::processEvents();
                }
            });
        },
        [&] {
            return bench::elapsedMs([&] {
                for (Qt::CheckState state : {Qt::Checked, Qt::Unchecked}) {
                    QTreeWidgetItem *bareGroup = bare.topLevelItem(row);
                    bareGroup->setCheckState(0, state);
                    for (int i = 0; i < bareGroup->childCount(); ++i)
                        bareGroup->child(i)->setCheckState(0, state);
                    QCoreApplication::processEvents();
                }
            });
        },
    }, Rounds);
    // Every round must have hit the check box: checked, then unchecked again.
    if (group->checkState(0) != Qt::Unchecked || !dialog.selectedItems().isEmpty())
        return false;
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, checkBox);
    if (dialog.selectedItems().size() != 1000)
        return false;
    dialogMs = bench::best(clicks[0]);
    bareMs = bench::best(clicks[1]);
    return true;
}

void printRow(const char *what, double value, double base, double goal)
{
    std::printf("%-50s %9.2f ms %9.2f ms %7.2f   (goal <= %g)\n", what, value, base, value / base, goal);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::printf("platform %s, best of %d rounds\n", qPrintable(QGuiApplication::platformName()), Rounds);
    std::printf("%-50s %12s %12s %7s\n", "", "dialog", "baseline", "ratio");

    const QVariantMap full = libraryMap(100, 1000);
    const auto fill = bench::takeTurns({[&] { return dialogFill(full); }, [&] { return bareFill(full); }}, Rounds);
    printRow("fill 100 groups x 1,000 libraries vs bare tree", bench::best(fill[0]), bench::best(fill[1]), 2);

    double clicks = 0;
    double bareClicks = 0;
    if (!measureGroupClicks(clicks, bareClicks)) {
        std::fprintf(stderr, "bench_selection: the clicks missed the group's check box\n");
        return 1;
    }
    printRow("check + uncheck 1 group of 1,000 vs bare tree", clicks, bareClicks, 2);

    // Growth: ten times the libraries should cost about ten times as much.
    const QVariantMap small = libraryMap(10, 1000);
    const QVariantMap onePart = libraryMap(1, 10000);
    const QVariantMap oneWhole = libraryMap(1, 100000);
    const QVariantMap singlesPart = libraryMap(10000, 1);
    const QVariantMap singlesWhole = libraryMap(100000, 1);
    const auto growth = bench::takeTurns({
        [&] { return dialogFill(full); }, [&] { return dialogFill(small); },
        [&] { return dialogFill(oneWhole); }, [&] { return dialogFill(onePart); },
        [&] { return dialogFill(singlesWhole); }, [&] { return dialogFill(singlesPart); },
        [&] { return bareFill(full); }, [&] { return bareFill(small); },
        [&] { return bareFill(singlesWhole); }, [&] { return bareFill(singlesPart); },
    }, Rounds);
    printRow("fill 100,000 vs 10,000 libraries, groups of 1,000", bench::best(growth[0]), bench::best(growth[1]),
             12);
    printRow("fill 100,000 vs 10,000 libraries, one group", bench::best(growth[2]), bench::best(growth[3]), 12);
    printRow("fill 100,000 vs 10,000 libraries, one per group", bench::best(growth[4]), bench::best(growth[5]), 12);
    for (const auto &[what, whole, part] : {std::tuple("bare tree 100,000 vs 10,000, groups of 1,000", 6, 7),
                                            std::tuple("bare tree 100,000 vs 10,000, one per group", 8, 9)}) {
        const double wholeMs = bench::best(growth[whole]);
        const double partMs = bench::best(growth[part]);
        std::printf("%-50s %9.2f ms %9.2f ms %7.2f   (for comparison)\n", what, wholeMs, partMs, wholeMs / partMs);
    }
    return 0;
}
