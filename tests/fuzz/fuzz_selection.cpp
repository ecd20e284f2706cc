// Fuzzes KelvaraSelection with a script read from the input: calls of
// setAvailableItems with arbitrary group and library names, and clicks on
// arbitrary items. After every step the Ok button must be enabled exactly
// while a library is checked, selectedItems() must match a plain recount over
// the tree, and every group with libraries must sum its libraries up.
#include "fuzzsupport.h"
#include "kelvaraselection.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

namespace {

constexpr int maxSteps = 64;
constexpr int maxGroupsPerCall = 4;
constexpr int maxLibrariesPerGroup = 6;
constexpr size_t maxNameBytes = 12;

enum class Step { Fill, Click, Set, kMaxValue = Set };

// Names are the input's bytes read as UTF-8, invalid sequences included, or
// with even odds a name used before; so empty, duplicate and non-ASCII names
// all turn up, as group names and library names alike.
class NameSource
{
public:
    explicit NameSource(FuzzedDataProvider &data) : data(data) {}

    QString next()
    {
        if (!used.isEmpty() && data.ConsumeBool())
            return used.at(data.ConsumeIntegralInRange<qsizetype>(0, used.size() - 1));
        const std::string bytes = data.ConsumeRandomLengthString(maxNameBytes);
        used.append(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
        return used.constLast();
    }

private:
    FuzzedDataProvider &data;
    QStringList used;
};

QVariantMap libraryMap(FuzzedDataProvider &data, NameSource &names)
{
    QVariantMap map;
    const int groups = data.ConsumeIntegralInRange(0, maxGroupsPerCall);
    for (int group = 0; group < groups; ++group) {
        QVariantList libraries;
        const int count = data.ConsumeIntegralInRange(0, maxLibrariesPerGroup);
        for (int library = 0; library < count; ++library)
            libraries.append(names.next());
        map.insert(names.next(), libraries);
    }
    return map;
}

std::vector<QTreeWidgetItem *> allItems(QTreeWidget *tree)
{
    std::vector<QTreeWidgetItem *> items;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        items.push_back(*it);
    return items;
}

bool isLibrary(const QTreeWidgetItem *item)
{
    return item->data(0, Qt::UserRole).toString() == QLatin1String("Library");
}

void checkInvariants(KelvaraSelection &dialog, QTreeWidget *tree, const QPushButton *ok)
{
    // Walked by index, independently of how the dialog walks its tree.
    QStringList checked;
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        const QTreeWidgetItem *group = tree->topLevelItem(g);
        require(!isLibrary(group), "a group item carries the library marker");
        int checkedHere = 0;
        for (int l = 0; l < group->childCount(); ++l) {
            const QTreeWidgetItem *library = group->child(l);
            require(isLibrary(library), "a library item lacks its marker");
            require(library->checkState(0) != Qt::PartiallyChecked, "a library is partially checked");
            if (library->checkState(0) == Qt::Checked) {
                checked.append(library->text(0));
                ++checkedHere;
            }
        }
        if (group->childCount() > 0) {
            const Qt::CheckState expected = checkedHere == 0 ? Qt::Unchecked
                : checkedHere == group->childCount()          ? Qt::Checked
                                                              : Qt::PartiallyChecked;
            require(group->checkState(0) == expected, "a group's state does not sum up its libraries");
        }
    }
    require(dialog.selectedItems() == checked, "selectedItems() differs from the checked libraries");
    require(ok->isEnabled() == !checked.isEmpty(), "Ok is enabled exactly while a library is checked");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    NameSource names(data);
    KelvaraSelection dialog;
    auto *tree = dialog.findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
    const QPushButton *ok =
        dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Ok);
    require(tree && ok, "the form has its tree and its Ok button");
    checkInvariants(dialog, tree, ok);

    for (int step = 0; step < maxSteps && data.remaining_bytes() > 0; ++step) {
        const Step kind = data.ConsumeEnum<Step>();
        switch (kind) {
        case Step::Fill:
            dialog.setAvailableItems(libraryMap(data, names));
            break;
        case Step::Click:
        case Step::Set: {
            const std::vector<QTreeWidgetItem *> items = allItems(tree);
            if (items.empty())
                break;
            QTreeWidgetItem *item = items[data.ConsumeIntegralInRange<size_t>(0, items.size() - 1)];
            Qt::CheckState state;
            if (kind == Step::Click) // a user's click: a partially checked group becomes Checked
                state = item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked;
            else // a script may set either state outright, also the one the item has
                state = data.ConsumeBool() ? Qt::Checked : Qt::Unchecked;
            item->setCheckState(0, state);
            break;
        }
        }
        checkInvariants(dialog, tree, ok);
    }
    return 0;
}
