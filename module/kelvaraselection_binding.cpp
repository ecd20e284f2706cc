#include "dialogclass.h"

#include "kelvaraselection.h"

#include <pybind11/stl.h>

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <map>
#include <string>
#include <vector>

namespace kelvara {

namespace {

// pybind11 accepts only a dict (or subclass) here, with str or bytes keys and
// sequences of text that are not themselves str or bytes; keys with equal
// bytes keep the entry met first.
using LibraryMap = std::map<std::string, std::vector<std::string>>;

QVariantMap toVariantMap(const LibraryMap &libraries)
{
    QVariantMap map;
    for (const auto &[group, names] : libraries) {
        QVariantList list;
        list.reserve(qsizetype(names.size()));
        for (const std::string &name : names)
            list.append(QString::fromStdString(name));
        map.insert(QString::fromStdString(group), list);
    }
    return map;
}

std::vector<std::string> toStdStrings(const QStringList &names)
{
    std::vector<std::string> result;
    result.reserve(std::size_t(names.size()));
    for (const QString &name : names)
        result.push_back(name.toStdString());
    return result;
}

} // namespace

void registerKelvaraSelection(py::module_ &module)
{
    auto cls = defineDialogClass<KelvaraSelection>(module, "KelvaraSelection");
    cls.def("run", &KelvaraSelection::run, Guard())
        .def("setAvailableItems", [](KelvaraSelection &dialog, const LibraryMap &libraries) {
            dialog.setAvailableItems(toVariantMap(libraries));
        }, Guard())
        .def("selectedItems", [](const KelvaraSelection &dialog) {
            return toStdStrings(dialog.selectedItems());
        }, Guard())
        .def("aggregationMode", [](const KelvaraSelection &dialog) {
            return dialog.aggregationMode().toStdString();
        }, Guard());
    addDeleteNotice(cls);
}

} // namespace kelvara
