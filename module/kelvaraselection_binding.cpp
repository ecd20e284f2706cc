#include "dialogclass.h"

#include "kelvaraselection.h"

#include <pybind11/stl.h>
#include <pybind11/typing.h>

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kelvara {

namespace {

using LibraryDict = py::typing::Dict<py::str, py::typing::List<py::str>>;
using LibraryMap = std::map<std::string, std::vector<std::string>>;

// A text argument's rule: str as UTF-8, bytes and bytearray unchanged.
std::optional<std::string> toText(py::handle value)
{
    try {
        return py::cast<std::string>(value);
    } catch (const py::cast_error &) {
        return std::nullopt;
    }
}

// A sequence other than str and bytes, whose len() matches the items that
// iterating it yields; a lying len() is never used to size anything.
// pybind11's own conversion (stl.h) reads len() items and silently drops the
// rest of a sequence whose len() is too small.
std::optional<std::vector<std::string>> toNames(py::handle value)
{
    PyObject *sequence = value.ptr();
    if (!PySequence_Check(sequence) || PyUnicode_Check(sequence) || PyBytes_Check(sequence))
        return std::nullopt;
    const Py_ssize_t length = PySequence_Size(sequence);
    if (length < 0)
        throw py::error_already_set();
    std::vector<std::string> names;
    for (py::handle item : py::iter(value)) {
        std::optional<std::string> name = toText(item);
        if (!name || Py_ssize_t(names.size()) == length)
            return std::nullopt;
        names.push_back(std::move(*name));
    }
    if (Py_ssize_t(names.size()) != length)
        return std::nullopt;
    return names;
}

// Walks a snapshot of the dictionary's own entries (overridden items() of a
// subclass plays no part), so that code run by a value cannot change or free
// what is being walked. Keys with equal bytes keep the entry met first.
std::optional<LibraryMap> toLibraryMap(const py::dict &libraries)
{
    const auto entries = py::reinterpret_steal<py::list>(PyDict_Items(libraries.ptr()));
    if (!entries)
        throw py::error_already_set();
    LibraryMap map;
    try {
        for (py::handle entry : entries) {
            std::optional<std::string> group = toText(PyTuple_GET_ITEM(entry.ptr(), 0));
            std::optional<std::vector<std::string>> names =
                group ? toNames(PyTuple_GET_ITEM(entry.ptr(), 1)) : std::nullopt;
            if (!names)
                return std::nullopt;
            map.emplace(std::move(*group), std::move(*names));
        }
    } catch (py::error_already_set &error) {
        // An interrupt, an exit, running out of memory or of stack is no
        // verdict on the value: it goes through as it is.
        if (!error.matches(PyExc_Exception) || error.matches(PyExc_MemoryError)
            || error.matches(PyExc_RecursionError))
            throw;
        py::raise_from(error, PyExc_TypeError,
                       "setAvailableItems(): incompatible function arguments: reading a "
                       "group's libraries raised an exception");
        throw py::error_already_set();
    }
    return map;
}

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

void setAvailableItems(KelvaraSelection &dialog, const LibraryDict &libraries)
{
    const std::optional<LibraryMap> map = toLibraryMap(libraries);
    // Reported like any other argument that does not convert.
    if (!map)
        throw py::reference_cast_error();
    dialog.setAvailableItems(toVariantMap(*map));
}

std::vector<std::string> selectedItems(KelvaraSelection &dialog)
{
    const QStringList names = dialog.selectedItems();
    std::vector<std::string> result;
    result.reserve(std::size_t(names.size()));
    for (const QString &name : names)
        result.push_back(name.toStdString());
    return result;
}

std::string aggregationMode(KelvaraSelection &dialog)
{
    return dialog.aggregationMode().toStdString();
}

} // namespace

void registerKelvaraSelection(py::module_ &module)
{
    auto cls = defineDialogClass<KelvaraSelection>(module, "KelvaraSelection");
    cls.def("run", guardedMethod(&runNotNested<KelvaraSelection>))
        .def("setAvailableItems", guardedMethod(&setAvailableItems))
        .def("selectedItems", guardedMethod(&selectedItems))
        .def("aggregationMode", guardedMethod(&aggregationMode));
    addDeleteNotice(cls);
}

} // namespace kelvara
