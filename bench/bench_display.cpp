// KelvaraDisplay's costs against the least work that its results need,
// measured in the same run: reading the display data against parsing it into
// a variant map and appending one checkable item per assay, writing it against
// turning the same map into indented JSON. Also Select all over 10,000
// unchecked rows, against checking them row by row, and one character typed
// into the search field over 100,000 rows. bench/bench_display.py runs it.
#include "benchsupport.h"
#include "kelvaradisplay.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTest>

#include <malloc.h>

#include <cstdio>
#include <vector>

namespace {

constexpr int Rounds = 5;

QByteArray displayText(int assays, bool selected)
{
    QJsonObject data;
    for (int i = 0; i < assays; ++i) {
        data.insert(QStringLiteral("assay %1").arg(i, 6, 10, QLatin1Char('0')),
                    QJsonObject({{QStringLiteral("alias"), QStringLiteral("Assay %1").arg(i)},
                                 {QStringLiteral("default_uncertainty"), (i % 1000) / 1000.0},
                                 {QStringLiteral("include_count"), i % 2 == 0},
                                 {QStringLiteral("selected"), selected}}));
    }
    return QJsonDocument(data).toJson();
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

// Select all on a shown dialog, with the repaint. Checking the rows one by
// one as a click on each box would costs a full relayout of the list per
// row, so that comparison runs on fewer rows; both must leave the same data.
bool measureSelectAll(int assays, int rowByRowAssays)
{
    KelvaraDisplay dialog;
    dialog.setDisplayData(displayText(assays, false));
    if (!showAndWait(dialog))
        return false;
    const double all = bench::elapsedMs([&] { selectAll(dialog); });
    std::printf("%-46s %9.2f ms               (goal: under 1000 ms)\n",
                qPrintable(QStringLiteral("Select all, %1 unchecked rows").arg(assays)), all);

    const QByteArray text = displayText(rowByRowAssays, false);
    KelvaraDisplay fewer;
    KelvaraDisplay rowByRow;
    for (KelvaraDisplay *each : {&fewer, &rowByRow}) {
        each->setDisplayData(text);
        if (!showAndWait(*each))
            return false;
    }
    const double fast = bench::elapsedMs([&] { selectAll(fewer); });
    auto *proxy = qobject_cast<QSortFilterProxyModel *>(
        rowByRow.findChild<QListView *>(QStringLiteral("listView"))->model());
    auto *model = qobject_cast<QStandardItemModel *>(proxy->sourceModel());
    const double slow = bench::elapsedMs([&] {
        for (int row = 0; row < model->rowCount(); ++row)
            model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole);
        QCoreApplication::processEvents();
    });
    std::printf("%-46s %9.2f ms %9.2f ms %7.4f\n",
                qPrintable(QStringLiteral("Select all vs row by row, %1 rows").arg(rowByRowAssays)),
                fast, slow, fast / slow);
    const bool same = fewer.displayData() == rowByRow.displayData();
    std::printf("%-46s %s\n", "  same display data", same ? "yes" : "NO");
    return same;
}

bool measureSearch(int assays)
{
    KelvaraDisplay dialog;
    dialog.setDisplayData(displayText(assays, true));
    if (!showAndWait(dialog))
        return false;
    auto *search = dialog.findChild<QLineEdit *>(QStringLiteral("lineEditSearch"));
    const auto typed = bench::takeTurns({[&] {
        search->clear();
        QCoreApplication::processEvents();
        return bench::elapsedMs([&] {
            QTest::keyClick(search, Qt::Key_7);
            QCoreApplication::processEvents();
        });
    }}, Rounds);
    std::printf("%-46s %9.2f ms\n", qPrintable(QStringLiteral("one character typed, %1 rows").arg(assays)),
                bench::median(typed[0]));
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

    if (!measureSelectAll(10000, 1000) || !measureSearch(100000)) {
        std::fprintf(stderr, "bench_display: a measurement went wrong\n");
        return 1;
    }
    return 0;
}
