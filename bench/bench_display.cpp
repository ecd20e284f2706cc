// KelvaraDisplay's costs against the least work that its results need,
// measured in the same run: reading the display data against parsing it into
// a variant map and appending one checkable item per assay, writing it against
// turning the same map into indented JSON. Select all against checking the
// rows one by one, which must leave the same data. Then a table of every
// action of the user, the first show included, at 1,000, 10,000 and 100,000
// assays, and at 100,000 with names of varied lengths and scripts and with one
// name of two lines, each with the event passes that repaint it, next to a
// bare list doing the same (goals: 16 ms at 10,000, 50 ms at 100,000). On the
// platform that the environment names; bench/bench_display.py runs it.
#include "benchsupport.h"
#include "kelvaradisplay.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QDialogButtonBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStringListModel>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QVBoxLayout>

#include <malloc.h>

#include <cstdio>
#include <vector>

namespace {

constexpr int Rounds = 5;

QStringList plainNames(int assays)
{
    QStringList names;
    for (int i = 0; i < assays; ++i)
        names.append(QStringLiteral("assay %1").arg(i, 6, 10, QLatin1Char('0')));
    return names;
}

// Names of a few to over 200 characters in several scripts, some with a tab,
// some in fonts other than the default one.
QStringList variedNames(int assays)
{
    const QStringList words = {
        QStringLiteral("CDK2 IC50"), QStringLiteral("filial kinase"), QStringLiteral("α-synuclein"),
        QStringLiteral("Ионный канал"), QStringLiteral("קולטן"), QStringLiteral("مستقبل الدوبامين"),
        QStringLiteral("受容体結合"), QStringLiteral("रिसेप्टर"), QStringLiteral("AVATAR\tWAVE"),
        QStringLiteral("ij"), QStringLiteral("𝒜ffinity ∑"), QStringLiteral("ܐܒܓ")};
    QStringList names;
    for (int i = 0; i < assays; ++i) {
        QString name = QStringLiteral("%1 %2").arg(words.at(i % words.size())).arg(i);
        const QString &tail = words.at((i / words.size()) % words.size());
        for (int repeat = i % 13; repeat > 0; --repeat)
            name += QLatin1Char(' ') + tail;
        names.append(name);
    }
    return names;
}

// Plain names but one, which has two lines.
QStringList oneTwoLineName(int assays)
{
    QStringList names = plainNames(assays);
    names[assays / 2] += QStringLiteral("\nsecond line");
    return names;
}

QByteArray displayText(const QStringList &names, bool selected)
{
    QJsonObject data;
    for (qsizetype i = 0; i < names.size(); ++i) {
        data.insert(names.at(i),
                    QJsonObject({{QStringLiteral("alias"), QStringLiteral("Assay %1").arg(i)},
                                 {QStringLiteral("default_uncertainty"), (i % 1000) / 1000.0},
                                 {QStringLiteral("include_count"), i % 2 == 0},
                                 {QStringLiteral("selected"), selected}}));
    }
    return QJsonDocument(data).toJson();
}

QByteArray displayText(int assays, bool selected)
{
    return displayText(plainNames(assays), selected);
}

// A new hidden dialog, as a script fills it before run().
double dialogRead(const QByteArray &text)
{
    KelvaraDisplay dialog;
    return bench::elapsedMs([&] { dialog.setDisplayData(text); });
}

double baselineRead(const QByteArray &text)
{
    QVariantMap map;
    QStandardItemModel model;
    return bench::elapsedMs([&] {
        map = QJsonDocument::fromJson(text).toVariant().toMap();
        QList<QStandardItem *> items;
        items.reserve(map.size());
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            auto *item = new QStandardItem(it.key());
            item->setCheckable(true);
            item->setCheckState(Qt::Checked);
            items.append(item);
        }
        model.appendColumn(items);
    });
}

void printRatio(const char *what, double value, double base, double goal)
{
    std::printf("%-46s %9.2f ms %9.2f ms %7.2f   (goal <= %g)\n", what, value, base, value / base, goal);
}

bool showAndWait(QWidget &dialog)
{
    dialog.show();
    return QTest::qWaitForWindowExposed(&dialog);
}

void selectAll(KelvaraDisplay &dialog)
{
    dialog.findChild<QPushButton *>(QStringLiteral("selectButton"))->click();
    QCoreApplication::processEvents();
}

// Select all on a shown dialog, with the repaint, against checking the rows
// one by one as a click on each box would; both must leave the same data.
bool measureSelectAllAgainstRowByRow(int assays)
{
    const QByteArray text = displayText(assays, false);
    KelvaraDisplay fewer;
    KelvaraDisplay rowByRow;
    for (KelvaraDisplay *each : {&fewer, &rowByRow}) {
        each->setDisplayData(text);
        if (!showAndWait(*each))
            return false;
    }
    const double fast = bench::elapsedMs([&] { selectAll(fewer); });
    auto *proxy = qobject_cast<QAbstractProxyModel *>(
        rowByRow.findChild<QListView *>(QStringLiteral("listView"))->model());
    auto *model = qobject_cast<QStandardItemModel *>(proxy->sourceModel());
    const double slow = bench::elapsedMs([&] {
        for (int row = 0; row < model->rowCount(); ++row)
            model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole);
        QCoreApplication::processEvents();
    });
    std::printf("%-46s %9.2f ms %9.2f ms %7.4f\n",
                qPrintable(QStringLiteral("Select all vs row by row, %1 rows").arg(assays)),
                fast, slow, fast / slow);
    const bool same = fewer.displayData() == rowByRow.displayData();
    std::printf("%-46s %s\n", "  same display data", same ? "yes" : "NO");
    return same;
}

// A list as bare Qt shows it, in a dialog of the same size with an Ok button:
// the floor for what the user does in KelvaraDisplay's list.
struct BareList
{
    explicit BareList(const QStringList &names)
        : names(names)
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(view = new QListView);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
        layout->addWidget(buttons);
        ok = buttons->button(QDialogButtonBox::Ok);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &window, &QDialog::accept);
        view->setUniformItemSizes(true);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        QList<QStandardItem *> column;
        for (const QString &name : names) {
            auto *item = new QStandardItem(name);
            item->setCheckable(true);
            column.append(item);
        }
        items.appendColumn(column);
        view->setModel(&items);
        window.resize(793, 796);
    }

    // The least a search needs: one case-insensitive scan, and the list
    // showing the matches.
    void search(const QString &text)
    {
        QStringList matches;
        for (const QString &name : names) {
            if (name.contains(text, Qt::CaseInsensitive))
                matches.append(name);
        }
        shown.setStringList(matches);
    }

    // Every check state at once, the model telling the view once.
    void setAllCheckStates(Qt::CheckState state)
    {
        {
            const QSignalBlocker quiet(&items);
            for (int row = 0; row < items.rowCount(); ++row)
                items.item(row)->setCheckState(state);
        }
        Q_EMIT items.dataChanged(items.index(0, 0), items.index(items.rowCount() - 1, 0), {Qt::CheckStateRole});
    }

    QStringList names;
    QDialog window;
    QListView *view;
    QPushButton *ok;
    QStandardItemModel items;
    QStringListModel shown;
};

// The widgets of KelvaraDisplay that the user works with.
struct DisplayForm
{
    explicit DisplayForm(KelvaraDisplay &dialog)
        : dialog(dialog)
        , view(dialog.findChild<QListView *>(QStringLiteral("listView")))
        , search(dialog.findChild<QLineEdit *>(QStringLiteral("lineEditSearch")))
        , selectAll(dialog.findChild<QPushButton *>(QStringLiteral("selectButton")))
        , clear(dialog.findChild<QPushButton *>(QStringLiteral("clearButton")))
        , ok(dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Ok))
    {
    }

    KelvaraDisplay &dialog;
    QListView *view;
    QLineEdit *search;
    QPushButton *selectAll, *clear, *ok;
};

QRect checkBoxRect(QListView *view, int row)
{
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = view->visualRect(view->model()->index(row, 0));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    return view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
}

bool isChecked(QListView *view, int row)
{
    return view->model()->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
}

// One user action timed with the event passes that show it.
double timed(const std::function<void()> &action)
{
    return bench::elapsedMs([&] {
        action();
        bench::settle();
    });
}

// The steps of one action: what it does to a list view, and what puts the
// view back where the action can be taken again (not timed).
struct Action
{
    const char *name;
    std::function<void(QListView *)> prepare;
    std::function<void(QListView *)> act;
};

// The row the list actions use, well inside the first screen of rows.
constexpr int Row = 2;

void setCheckState(QListView *view, int row, Qt::CheckState state)
{
    if (isChecked(view, row) != (state == Qt::Checked))
        view->model()->setData(view->model()->index(row, 0), state, Qt::CheckStateRole);
    bench::settle();
}

void clickCheckBox(QListView *view)
{
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, checkBoxRect(view, Row).center());
}

// Keyboard focus in the list, on the given row.
void focusRow(QListView *view, int row)
{
    view->setFocus();
    view->setCurrentIndex(view->model()->index(row, 0));
    bench::settle();
}

void press(QListView *view, Qt::Key key)
{
    QTest::keyClick(view, key);
}

const std::vector<Action> &listActions()
{
    static const std::vector<Action> actions = {
        {"check a row, mouse", [](QListView *view) { setCheckState(view, Row, Qt::Unchecked); }, clickCheckBox},
        {"uncheck a row, mouse", [](QListView *view) { setCheckState(view, Row, Qt::Checked); }, clickCheckBox},
        {"check a row, Space",
         [](QListView *view) {
             setCheckState(view, Row, Qt::Unchecked);
             focusRow(view, Row);
         },
         [](QListView *view) { press(view, Qt::Key_Space); }},
        {"uncheck a row, Space",
         [](QListView *view) {
             setCheckState(view, Row, Qt::Checked);
             focusRow(view, Row);
         },
         [](QListView *view) { press(view, Qt::Key_Space); }},
        {"select a row, mouse", [](QListView *view) { focusRow(view, Row + 1); },
         [](QListView *view) {
             QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                               view->visualRect(view->model()->index(Row, 0)).center());
         }},
        {"select a row, Down key", [](QListView *view) { focusRow(view, Row - 1); },
         [](QListView *view) { press(view, Qt::Key_Down); }},
    };
    return actions;
}

// Medians of each action at one size, the dialog's and the floor's.
using Medians = std::pair<double, double>;

std::vector<Medians> measureActions(const QStringList &names)
{
    const QByteArray text = displayText(names, false);
    std::vector<Medians> rows;
    const auto measure = [&](const std::function<double()> &mine, const std::function<double()> &floor) {
        const auto samples = bench::takeTurns({mine, floor}, Rounds);
        rows.emplace_back(bench::median(samples[0]), bench::median(samples[1]));
    };

    // The first show lays out every row; hidden, the list has laid out none.
    const auto firstShow = [](QWidget &window) {
        bool exposed = false;
        const double ms = timed([&] { exposed = showAndWait(window); });
        return exposed ? ms : -1.0;
    };
    measure(
        [&] {
            KelvaraDisplay fresh;
            fresh.setDisplayData(text);
            return firstShow(fresh);
        },
        [&] {
            BareList fresh(names);
            return firstShow(fresh.window);
        });

    KelvaraDisplay dialog;
    dialog.setDisplayData(text);
    const DisplayForm form(dialog);
    BareList bare(names);
    for (QWidget *window : {static_cast<QWidget *>(&dialog), static_cast<QWidget *>(&bare.window)}) {
        if (!showAndWait(*window))
            return {};
    }

    for (const Action &action : listActions()) {
        measure([&] { action.prepare(form.view); return timed([&] { action.act(form.view); }); },
                [&] { action.prepare(bare.view); return timed([&] { action.act(bare.view); }); });
    }

    // An action after the step that makes it possible, the step untimed.
    const auto measureFrom = [&](const std::function<void()> &mineBefore, const std::function<void()> &mine,
                                 const std::function<void()> &floorBefore, const std::function<void()> &floor) {
        measure([&] { mineBefore(); bench::settle(); return timed(mine); },
                [&] { floorBefore(); bench::settle(); return timed(floor); });
    };
    const QString seven = QStringLiteral("7");
    bare.view->setModel(&bare.shown);
    measureFrom([&] { form.search->clear(); }, [&] { QTest::keyClick(form.search, Qt::Key_7); },
                [&] { bare.search(QString()); }, [&] { bare.search(seven); });
    measureFrom([&] { form.search->setText(seven); }, [&] { QTest::keyClick(form.search, Qt::Key_Backspace); },
                [&] { bare.search(seven); }, [&] { bare.search(QString()); });
    bare.view->setModel(&bare.items);
    measureFrom([&] { form.clear->click(); }, [&] { QTest::mouseClick(form.selectAll, Qt::LeftButton); },
                [&] { bare.setAllCheckStates(Qt::Unchecked); }, [&] { bare.setAllCheckStates(Qt::Checked); });
    measureFrom([&] { form.selectAll->click(); }, [&] { QTest::mouseClick(form.clear, Qt::LeftButton); },
                [&] { bare.setAllCheckStates(Qt::Checked); }, [&] { bare.setAllCheckStates(Qt::Unchecked); });

    const auto resize = [](QWidget &window) {
        const int width = window.width() == 793 ? 833 : 793;
        return timed([&] { window.resize(width, window.height()); });
    };
    measure([&] { return resize(dialog); }, [&] { return resize(bare.window); });

    const auto accept = [](QWidget &window, QPushButton *ok) {
        if (!window.isVisible() && !showAndWait(window))
            return -1.0;
        return timed([&] { QTest::mouseClick(ok, Qt::LeftButton); });
    };
    measure([&] { return accept(dialog, form.ok); }, [&] { return accept(bare.window, bare.ok); });
    return rows;
}

// Every action of the user at each size, next to bare Qt doing the same.
bool measureActionTable()
{
    const std::vector<const char *> actions = [] {
        std::vector<const char *> names = {"first show"};
        for (const Action &action : listActions())
            names.push_back(action.name);
        for (const char *name : {"type one search character", "erase it", "Select all", "Clear", "resize", "Ok"})
            names.push_back(name);
        return names;
    }();
    const std::vector<std::pair<const char *, QStringList>> columns = {
        {"1,000", plainNames(1000)},
        {"10,000", plainNames(10000)},
        {"100,000", plainNames(100000)},
        {"100,000 varied names", variedNames(100000)},
        {"100,000, one of two lines", oneTwoLineName(100000)},
    };
    std::vector<std::vector<Medians>> table;
    for (const auto &column : columns) {
        table.push_back(measureActions(column.second));
        if (table.back().size() != actions.size())
            return false;
    }

    std::printf("\nuser actions with the repaint, ms (medians of %d rounds): dialog / bare Qt\n", Rounds);
    std::printf("| action |");
    for (const auto &column : columns)
        std::printf(" %s |", column.first);
    std::printf("\n|---|");
    for (std::size_t c = 0; c < columns.size(); ++c)
        std::printf("---|");
    std::printf("\n");
    for (std::size_t a = 0; a < actions.size(); ++a) {
        std::printf("| %s |", actions[a]);
        for (const auto &column : table)
            std::printf(" %.2f / %.2f |", column[a].first, column[a].second);
        std::printf("\n");
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // Fixed allocator thresholds: otherwise glibc moves its mmap threshold as
    // blocks are freed, and whichever contender then gets fresh mappings pays
    // their page faults, a few milliseconds that land on one side at random.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    QApplication app(argc, argv);
    // The dialog's show and resize messages are not what is measured.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    std::printf("platform %s, medians of %d rounds\n", qPrintable(QGuiApplication::platformName()), Rounds);
    std::printf("%-46s %12s %12s %7s\n", "", "dialog", "baseline", "ratio");

    std::vector<KelvaraDisplay *> filled;
    for (int assays : {1000, 10000, 100000}) {
        const QByteArray text = displayText(assays, true);
        const auto read = bench::takeTurns({[&] { return dialogRead(text); },
                                            [&] { return baselineRead(text); }},
                                           Rounds);
        printRatio(qPrintable(QStringLiteral("setDisplayData, %1 assays").arg(assays)), bench::median(read[0]),
                   bench::median(read[1]), 1.5);

        auto *dialog = new KelvaraDisplay;
        dialog->setDisplayData(text);
        filled.push_back(dialog);
        const QVariantMap written = QJsonDocument::fromJson(dialog->displayData()).toVariant().toMap();
        const auto write = bench::takeTurns({
            [&] { return bench::elapsedMs([&] { dialog->displayData(); }); },
            [&] {
                return bench::elapsedMs(
                    [&] { QJsonDocument::fromVariant(written).toJson(QJsonDocument::Indented); });
            },
        }, Rounds);
        printRatio(qPrintable(QStringLiteral("displayData, %1 assays").arg(assays)), bench::median(write[0]),
                   bench::median(write[1]), 1.5);
    }

    // Growth: the two sizes take turns, so that both meet the same machine.
    const QByteArray small = filled[1]->displayData();
    const QByteArray large = filled[2]->displayData();
    const auto growth = bench::takeTurns({
        [&] { return dialogRead(large); },
        [&] { return dialogRead(small); },
        [&] { return bench::elapsedMs([&] { filled[2]->displayData(); }); },
        [&] { return bench::elapsedMs([&] { filled[1]->displayData(); }); },
    }, Rounds);
    printRatio("setDisplayData, 100,000 vs 10,000 assays", bench::median(growth[0]), bench::median(growth[1]), 12);
    printRatio("displayData, 100,000 vs 10,000 assays", bench::median(growth[2]), bench::median(growth[3]), 12);
    qDeleteAll(filled);

    if (!measureSelectAllAgainstRowByRow(1000) || !measureActionTable()) {
        std::fprintf(stderr, "bench_display: a measurement went wrong\n");
        return 1;
    }
    return 0;
}
