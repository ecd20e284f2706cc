#include "dialogclass.h"

#include <QApplication>
#include <QDialog>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QThread>

#include <stdexcept>
#include <vector>

// The object base, the instance registry and the class registry below are
// pybind11 internals. On an upgrade, re-check that make_object_base_type()
// still builds the base every class derives from, that pybind11_object_new()
// and all_type_info() still create and describe instances, and that
// find_registered_python_instance() still finds only instances whose
// __init__ ran; then move this fence on. None of this is retired by pybind11
// 3.x with py::smart_holder: there Dialog.__new__(Dialog).get() returned
// garbage and type(d).__base__() aborted.
static_assert(PYBIND11_VERSION_MAJOR == 2 && PYBIND11_VERSION_MINOR == 13,
              "dialogclass.cpp relies on pybind11 2.13 internals: re-check them");

namespace kelvara {

namespace {

bool onGuiThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// Dialogs whose Python objects died on another thread, until the GUI thread
// deletes them.
QMutex strayDialogsMutex;
std::vector<QObject *> strayDialogs;

void deleteStrayDialogs()
{
    std::vector<QObject *> dialogs;
    {
        QMutexLocker locker(&strayDialogsMutex);
        dialogs.swap(strayDialogs);
    }
    qDeleteAll(dialogs);
}

// The dialogs inside their own run(). Used on the GUI thread only, like the
// dialogs themselves.
QSet<const QDialog *> runningDialogs;

extern "C" PyObject *newDialogObject(PyTypeObject *type, PyObject *args, PyObject *kwargs)
{
    // CPython runs the module's entry in the main interpreter and gives a
    // sub-interpreter that imports it a copy of the module's classes. The
    // first instance made there would leave pybind11 state behind that dies
    // with the sub-interpreter and breaks the classes for the main one.
    if (PyInterpreterState_Get() != PyInterpreterState_Main()) {
        PyErr_SetString(PyExc_RuntimeError, "KelvaraWidgets: dialogs can only be created in "
                                            "the main interpreter, not in a sub-interpreter");
        return nullptr;
    }
    // pybind11 would throw through the interpreter for a type that has no
    // dialog class among its bases.
    if (py::detail::all_type_info(type).empty()) {
        PyErr_Format(PyExc_TypeError, "cannot create '%s' instances", type->tp_name);
        return nullptr;
    }
    return py::detail::pybind11_object_new(type, args, kwargs);
}

} // namespace

void requireGuiThread()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        throw std::runtime_error("KelvaraWidgets: a QApplication must exist before a dialog is "
                                 "created or used; the host application creates it first");
    if (!onGuiThread())
        throw std::runtime_error("KelvaraWidgets: dialogs may only be used from the thread of "
                                 "the QApplication, not from another thread");
}

void DeleteOnOwnerThread::operator()(QObject *dialog) const
{
    if (QThread::currentThread() == dialog->thread()) {
        delete dialog;
        return;
    }
    // Not deleteLater(): that waits for an exec() loop, and a script that only
    // ticks a progress dialog never runs one.
    {
        QMutexLocker locker(&strayDialogsMutex);
        strayDialogs.push_back(dialog);
    }
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, deleteStrayDialogs, Qt::QueuedConnection);
}

void deleteStrayDialogsAtExit()
{
    // Py_AtExit() runs its functions at the very end of finalisation, after
    // the last Python thread can have dropped a dialog. The host finalises on
    // its GUI thread while its QApplication still exists; a dialog left
    // otherwise is left alone rather than destroyed on the wrong thread.
    if (Py_AtExit([] {
            if (onGuiThread())
                deleteStrayDialogs();
        }) != 0)
        throw py::import_error("KelvaraWidgets: no room left for its exit function (Py_AtExit)");
}

OwnObjectBase::OwnObjectBase()
    : m_base(py::reinterpret_steal<py::object>(
          py::detail::make_object_base_type(py::detail::get_internals().default_metaclass)))
{
    auto *base = reinterpret_cast<PyTypeObject *>(m_base.ptr());
    base->tp_new = newDialogObject;
    PyType_Modified(base);
}

// Runs on the new class before PyType_Ready, which then lets the class
// inherit tp_new from its base without adding a __new__ attribute.
void OwnObjectBase::operator()(PyHeapTypeObject *heapType) const
{
    PyTypeObject *&base = heapType->ht_type.tp_base;
    PyTypeObject *shared = base;
    base = reinterpret_cast<PyTypeObject *>(m_base.inc_ref().ptr());
    Py_DECREF(shared);
}

void requireConstructedDialog(const void *dialog, const std::type_info &type)
{
    // Only pybind11's __init__ registers an instance, once the dialog exists.
    const auto instance = py::reinterpret_steal<py::object>(py::detail::find_registered_python_instance(
        const_cast<void *>(dialog), py::detail::get_type_info(type)));
    if (!instance)
        throw py::reference_cast_error();
}

RunningDialog::RunningDialog(const QDialog *dialog)
    : m_dialog(dialog)
{
    if (runningDialogs.contains(dialog))
        throw std::runtime_error(std::string(dialog->metaObject()->className())
                                 + ".run() called while the same dialog's run() is running");
    runningDialogs.insert(dialog);
}

RunningDialog::~RunningDialog()
{
    runningDialogs.remove(m_dialog);
}

} // namespace kelvara
