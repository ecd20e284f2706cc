#pragma once

#include <pybind11/pybind11.h>

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>

class QDialog;
class ProgressDialog;
class KelvaraDisplay;
class KelvaraSelection;

namespace kelvara {

namespace py = pybind11;

// Refuses, with RuntimeError, a call when there is no QApplication or when
// the caller is not on the QApplication's thread. Without a QApplication Qt
// itself would abort the process; from another thread it has only a
// Q_ASSERT_X, compiled out of release builds: undefined behaviour.
void requireGuiThread();

// The constructors' call guard.
struct RequireGuiThread
{
    RequireGuiThread() { requireGuiThread(); }
};
using Guard = py::call_guard<RequireGuiThread>;

// Deletes a dialog on the thread that owns it. A Python object may be
// collected on any thread; widgets may only be destroyed on the GUI thread,
// so a dialog dropped elsewhere waits for the GUI thread's next event pass.
struct DeleteOnOwnerThread
{
    void operator()(QObject *dialog) const;
};

// Deletes the dialogs still waiting for an event pass once the interpreter
// has finalised, on the thread that finalised it.
void deleteStrayDialogsAtExit();

template <class Dialog>
using DialogHolder = std::unique_ptr<Dialog, DeleteOnOwnerThread>;

template <class Dialog>
using DialogClass = py::class_<Dialog, DialogHolder<Dialog>>;

// pybind11 derives every class from one object base that all pybind11
// modules of the process share. Called directly, as type(dialog).__base__()
// and pickle protocols 0 and 1 do, that base aborts the process. Each dialog
// class derives instead from a copy of it of its own that refuses, with
// TypeError, to create anything but an instance of a dialog class. Because
// the copies differ, Python also refuses __class__ assignment between dialog
// classes. Other modules keep the shared base untouched.
class OwnObjectBase
{
public:
    OwnObjectBase();
    void operator()(PyHeapTypeObject *heapType) const;

private:
    py::object m_base;
};

void requireConstructedDialog(const void *dialog, const std::type_info &type);

// pybind11 hands a binding raw, uninitialised memory for an instance whose
// __init__ never ran (cls.__new__(cls), copy.copy, a subclass __init__ that
// raised before the base one); such a self is refused with the TypeError
// that None gets.
template <class Dialog>
Dialog &constructed(Dialog &dialog)
{
    requireConstructedDialog(&dialog, typeid(Dialog));
    return dialog;
}

template <class Dialog, class Return, class... Args, class Function>
auto guardedCall(Function function)
{
    return [function](Dialog &dialog, Args... args) -> Return {
        requireGuiThread();
        return std::invoke(function, constructed(dialog), args...);
    };
}

// Turns a member function, or an adapter taking the dialog first, into a
// method binding that runs only on a fully constructed dialog on the GUI
// thread. Dialog defaults to the class that declares the member; a member
// inherited from Qt names it: guardedMethod<ProgressDialog>(&QWidget::show).
// pybind11's call_guard, enough for the constructors, never sees self: with
// it alone a method of cls.__new__(cls) ran on uninitialised memory.
template <class Dialog = void, class Class, class Return, class... Args>
auto guardedMethod(Return (Class::*member)(Args...))
{
    return guardedCall<std::conditional_t<std::is_void_v<Dialog>, Class, Dialog>, Return, Args...>(member);
}

template <class Dialog = void, class Class, class Return, class... Args>
auto guardedMethod(Return (Class::*member)(Args...) const)
{
    return guardedCall<std::conditional_t<std::is_void_v<Dialog>, Class, Dialog>, Return, Args...>(member);
}

template <class Dialog, class Return, class... Args>
auto guardedMethod(Return (*adapter)(Dialog &, Args...))
{
    return guardedCall<Dialog, Return, Args...>(adapter);
}

// Marks a dialog as running its modal loop for as long as it lives; refuses,
// with RuntimeError, to mark it twice.
class RunningDialog
{
public:
    explicit RunningDialog(const QDialog *dialog);
    ~RunningDialog();
    Q_DISABLE_COPY_MOVE(RunningDialog)

private:
    const QDialog *m_dialog;
};

// The adapter of run(). Inside the same dialog's run(), QDialog::exec() would
// only warn and return a result that reads as Cancel.
template <class Dialog>
bool runNotNested(Dialog &dialog)
{
    const RunningDialog running(&dialog);
    return dialog.run();
}

// Creates the Python class for a dialog with its constructor; the caller adds
// the methods and then calls addDeleteNotice(), which must come last.
template <class Dialog>
DialogClass<Dialog> defineDialogClass(py::module_ &module, const char *name)
{
    DialogClass<Dialog> cls(module, name, py::custom_type_setup(OwnObjectBase()));
    cls.def(py::init<>(), Guard());
    return cls;
}

// The obsolete delete(): dialogs go with their Python objects, so all it does
// is tell the script author so.
template <class Dialog>
void addDeleteNotice(DialogClass<Dialog> &cls)
{
    cls.def("delete", [](Dialog &dialog) {
        constructed(dialog);
        py::print(std::string(Dialog::staticMetaObject.className())
                  + "::delete function is no longer necessary");
    });
}

void registerProgressDialog(py::module_ &module);
void registerKelvaraDisplay(py::module_ &module);
void registerKelvaraSelection(py::module_ &module);

} // namespace kelvara
