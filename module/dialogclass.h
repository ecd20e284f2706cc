#pragma once

#include <pybind11/pybind11.h>

#include <QObject>

#include <memory>
#include <string>

class ProgressDialog;
class KelvaraDisplay;
class KelvaraSelection;

namespace kelvara {

namespace py = pybind11;

// Call guard for every binding that touches a widget: it refuses the call,
// with RuntimeError, when there is no QApplication or when the caller is not
// on the QApplication's thread. Qt itself would abort the process instead.
struct RequireGuiThread
{
    RequireGuiThread();
};
using Guard = py::call_guard<RequireGuiThread>;

// Deletes a dialog on the thread that owns it. A Python object may be
// collected on any thread; widgets may only be destroyed on the GUI thread.
struct DeleteOnOwnerThread
{
    void operator()(QObject *dialog) const;
};

template <class Dialog>
using DialogHolder = std::unique_ptr<Dialog, DeleteOnOwnerThread>;

template <class Dialog>
using DialogClass = py::class_<Dialog, DialogHolder<Dialog>>;

// Creates the Python class for a dialog with its constructor; the caller adds
// the methods and then calls addDeleteNotice(), which must come last.
template <class Dialog>
DialogClass<Dialog> defineDialogClass(py::module_ &module, const char *name)
{
    DialogClass<Dialog> cls(module, name);
    cls.def(py::init<>(), Guard());
    return cls;
}

// The obsolete delete(): dialogs go with their Python objects, so all it does
// is tell the script author so.
template <class Dialog>
void addDeleteNotice(DialogClass<Dialog> &cls)
{
    const std::string notice =
        py::str(cls.attr("__name__")).cast<std::string>() + "::delete function is no longer necessary";
    cls.def("delete", [notice](Dialog &) { py::print(notice); });
}

void registerProgressDialog(py::module_ &module);
void registerKelvaraDisplay(py::module_ &module);
void registerKelvaraSelection(py::module_ &module);

} // namespace kelvara
