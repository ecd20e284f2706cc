// The selection dialog's costs against bare Qt widgets that hold the same
// items (texts, check states, data) with no handlers, measured in the same
// run: a table of each user action at 1,000 to 100,000 libraries, the fill,
// and the growth. Prints the best time of several rounds (other work on the
// machine only ever adds time); bench/bench_selection.py runs it and adds the
// costs seen from Python.
#include "benchsupport.h"
#include "kelvaraselection.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>
#include <cstdio>
#include <functional>
#include <tuple>
#include <vector>

namespace {

constexpr int Rounds = 7;

// Plain names, or names of varied lengths and scripts with one of two lines,
// which gives that row a height of its own.
enum class Names { Plain, Mixed };

QString libraryName(int group, int library, Names names)
{
    const QString plain = QStringLiteral("library %1.%2").arg(group).arg(library);
    if (names == Names::Plain)
        return plain;
    switch (library % 5) {
    case 0:
        return library == 5 ? plain + QStringLiteral("\nsecond line") : plain;
    case 1:
        return QStringLiteral("Bibliothèque n° %1 — fragments").arg(library);
    case 2:
        return QStringLiteral("化合物ライブラリ %1").arg(library);
    case 3:
        return QStringLiteral("مكتبة المركبات %1").arg(library);
    default:
        return plain + QStringLiteral(" ") + QString(library % 97, QLatin1Char('x'));
    }
}

QVariantMap libraryMap(int groups, int librariesPerGroup, Names kind = Names::Plain)
{
    QVariantMap map;
    for (int g = 0; g < groups; ++g) {
        QVariantList names;
        names.reserve(librariesPerGroup);
        for (int l = 0; l < librariesPerGroup; ++l)
            names.append(libraryName(g, l, kind));
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

void click(QTreeWidget *tree, QTreeWidgetItem *item)
{
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, checkBoxCentre(tree, item));
}

// The selection dialog's widgets in bare Qt, with no handler of their own: a
// tree that knows all its rows are one line high, and Ok accepting.
class BareSelection : public QDialog
{
public:
    explicit BareSelection(const QVariantMap &map)
    {
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(QStringLiteral("Libraries:")));
        tree = new QTreeWidget;
        tree->setHeaderHidden(true);
        tree->setSelectionMode(QAbstractItemView::NoSelection);
        tree->setUniformRowHeights(true);
        layout->addWidget(tree);
        buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        fillBareTree(*tree, map);
    }

    // A click on a group's check box, and the least that gives its libraries
    // the group's state: the model silent while they change, then one repaint.
    void clickGroup(QTreeWidgetItem *group)
    {
        click(tree, group);
        {
            const QSignalBlocker silent(tree->model());
            for (int i = 0; i < group->childCount(); ++i)
                group->child(i)->setCheckState(0, group->checkState(0));
        }
        tree->viewport()->update();
    }

    QTreeWidget *tree;
    QDialogButtonBox *buttons;
};

// The dialog and its bare twin, filled alike and shown with trees of the same
// size, the given top-level row scrolled to the top of both.
bool showSideBySide(KelvaraSelection &dialog, BareSelection &bare, int row)
{
    dialog.show();
    bare.show();
    if (!QTest::qWaitForWindowExposed(&dialog) || !QTest::qWaitForWindowExposed(&bare))
        return false;
    bare.tree->setFixedSize(treeOf(dialog)->size());
    treeOf(dialog)->scrollToItem(treeOf(dialog)->topLevelItem(row), QAbstractItemView::PositionAtTop);
    bare.tree->scrollToItem(bare.tree->topLevelItem(row), QAbstractItemView::PositionAtTop);
    QCoreApplication::processEvents();
    return true;
}

// A user's action and the event pass that repaints it.
double clickMs(const std::function<void()> &action)
{
    return bench::elapsedMs([&] {
        action();
        QCoreApplication::processEvents();
    });
}

// Two clicks on the check box of a group of 1,000 in a shown dialog of 100
// such groups, each followed by the repaint; the bare tree takes the same
// states for the group and its libraries.
bool measureGroupClicks(double &dialogMs, double &bareMs)
{
    const QVariantMap map = libraryMap(100, 1000);
    const int row = 50;
    KelvaraSelection dialog;
    dialog.setAvailableItems(map);
    BareSelection bare(map);
    if (!showSideBySide(dialog, bare, row))
        return false;
    QTreeWidget *tree = treeOf(dialog);
    QTreeWidgetItem *group = tree->topLevelItem(row);
    QTreeWidgetItem *bareGroup = bare.tree->topLevelItem(row);

    const auto clicks = bench::takeTurns({
        [&] {
            return clickMs([&] { click(tree, group); }) + clickMs([&] { click(tree, group); });
        },
        [&] {
            return clickMs([&] { bare.clickGroup(bareGroup); }) + clickMs([&] { bare.clickGroup(bareGroup); });
        },
    }, Rounds);
    // Every round must have hit the check box: checked, then unchecked again.
    if (group->checkState(0) != Qt::Unchecked || !dialog.selectedItems().isEmpty()
        || bareGroup->child(0)->checkState(0) != Qt::Unchecked)
        return false;
    click(tree, group);
    if (dialog.selectedItems().size() != 1000)
        return false;
    dialogMs = bench::best(clicks[0]);
    bareMs = bench::best(clicks[1]);
    return true;
}

constexpr std::array<const char *, 5> UserActions = {
    "check the group", "uncheck the group", "check a library, Ok on", "uncheck it, Ok off", "Ok",
};
struct TableSize
{
    int libraries;
    const char *heading;
};
constexpr std::array<TableSize, 3> TableSizes = {{
    {1000, "1,000 libraries"}, {10000, "10,000 libraries"}, {100000, "100,000 libraries"},
}};

// Each user action on one group of `libraries` libraries, each with its event
// pass, in the dialog and in the bare widgets: the best of the rounds, dialog
// then bare per action. False when a click missed.
bool measureUserActions(int libraries, Names names, std::vector<double> &bestMs)
{
    const QVariantMap map = libraryMap(1, libraries, names);
    KelvaraSelection dialog;
    dialog.setAvailableItems(map);
    BareSelection bare(map);
    if (!showSideBySide(dialog, bare, 0))
        return false;
    QTreeWidget *tree = treeOf(dialog);
    QTreeWidgetItem *group = tree->topLevelItem(0);
    QTreeWidgetItem *library = group->child(0);
    QPushButton *ok = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Ok);
    QTreeWidgetItem *bareGroup = bare.tree->topLevelItem(0);
    QTreeWidgetItem *bareLibrary = bareGroup->child(0);
    bool missed = false;
    const auto expect = [&](bool condition) { missed = missed || !condition; };
    // Ok, clicked with one library checked; the dialog is shown again, untimed.
    const auto okMs = [&](QDialog &which, QTreeWidget *whichTree, QTreeWidgetItem *item, QPushButton *button) {
        click(whichTree, item);
        QCoreApplication::processEvents();
        const double ms = clickMs([&] { QTest::mouseClick(button, Qt::LeftButton); });
        expect(which.result() == QDialog::Accepted && !which.isVisible());
        which.show();
        expect(QTest::qWaitForWindowExposed(&which));
        click(whichTree, item);
        QCoreApplication::processEvents();
        return ms;
    };

    const auto dialogGroupMs = [&](qsizetype selectedAfter) {
        const double ms = clickMs([&] { click(tree, group); });
        expect(dialog.selectedItems().size() == selectedAfter);
        return ms;
    };
    const auto dialogLibraryMs = [&](bool okAfter) {
        const double ms = clickMs([&] { click(tree, library); });
        expect(ok->isEnabled() == okAfter && (group->checkState(0) == Qt::PartiallyChecked) == okAfter);
        return ms;
    };
    const auto bareGroupMs = [&] { return clickMs([&] { bare.clickGroup(bareGroup); }); };
    const auto bareLibraryMs = [&] { return clickMs([&] { click(bare.tree, bareLibrary); }); };
    const auto samples = bench::takeTurns({
        [&] { return dialogGroupMs(libraries); }, bareGroupMs,
        [&] { return dialogGroupMs(0); }, bareGroupMs,
        [&] { return dialogLibraryMs(true); }, bareLibraryMs,
        [&] { return dialogLibraryMs(false); }, bareLibraryMs,
        [&] { return okMs(dialog, tree, library, ok); },
        [&] { return okMs(bare, bare.tree, bareLibrary, bare.buttons->button(QDialogButtonBox::Ok)); },
    }, Rounds);
    if (missed || bareLibrary->checkState(0) != Qt::Unchecked || bareGroup->checkState(0) != Qt::Unchecked)
        return false;
    for (const auto &each : samples)
        bestMs.push_back(bench::best(each));
    return true;
}

bool printUserActionTable(Names names)
{
    std::vector<std::vector<double>> bySize;
    for (const TableSize &size : TableSizes) {
        bySize.emplace_back();
        if (!measureUserActions(size.libraries, names, bySize.back()))
            return false;
    }
    std::printf("\n%-40s", names == Names::Plain ? "one group, ms per action and event pass"
                                                 : "the same, varied names, one of two lines");
    for (const TableSize &size : TableSizes)
        std::printf(" %18s", size.heading);
    std::printf("\n%-40s", "(goal: 16 at 10,000, 50 at 100,000)");
    for (std::size_t i = 0; i < TableSizes.size(); ++i)
        std::printf(" %9s %8s", "dialog", "bare Qt");
    std::printf("\n");
    for (std::size_t action = 0; action < UserActions.size(); ++action) {
        std::printf("%-40s", UserActions[action]);
        for (const auto &sizes : bySize)
            std::printf(" %9.2f %8.2f", sizes[2 * action], sizes[2 * action + 1]);
        std::printf("\n");
    }
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

    if (!printUserActionTable(Names::Plain) || !printUserActionTable(Names::Mixed)) {
        std::fprintf(stderr, "bench_selection: a click missed its check box or button\n");
        return 1;
    }
    return 0;
}
