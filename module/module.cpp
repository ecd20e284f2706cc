#include "dialogclass.h"

#include <stdexcept>

// The entry is PYBIND11_MODULE's own, written out so that a failure while
// pybind11 sets up its state raises ImportError instead of aborting the
// process (PYBIND11_MODULE calls it outside its try block), and so that a
// failed import can be retried. On an upgrade, re-check it against the new
// PYBIND11_MODULE (pybind11 3 makes it multi-phase, yet a legacy
// sub-interpreter still imported the module), that get_internals() still
// keeps the thread state in internals.tstate, and that a class whose Python
// type is freed leaves pybind11's registry; then move this fence on.
static_assert(PYBIND11_VERSION_MAJOR == 2 && PYBIND11_VERSION_MINOR == 13,
              "module.cpp writes out the module entry of pybind11 2.13: re-check it");

namespace {

namespace py = pybind11;

py::module_::module_def moduleDefinition;

// pybind11 sets up its state on the first use in the process and keeps it
// even when that failed halfway; registering a class into it would crash.
// It also keeps the thread state it was set up on as the thread's own, but
// when a sub-interpreter imports the module, CPython 3.13 runs this entry in
// the main interpreter on a thread state made for that call only, gone
// afterwards. Without one kept, pybind11 asks CPython for the thread's state.
void requireSharedState()
{
    static bool failed = false;
    if (failed)
        throw std::runtime_error("KelvaraWidgets: pybind11 could not set up its state in an "
                                 "earlier import; this process cannot import the module");
    try {
        PYBIND11_TLS_DELETE_VALUE(py::detail::get_internals().tstate);
    } catch (...) {
        failed = true;
        throw;
    }
}

// After a failed import, pybind11 still holds the interpreter's reference to
// the module, and its registry the classes already created: a later import
// would find them "already registered". Emptying the module and collecting
// frees the classes, which takes them out of the registry (a script that
// switched the collector off postpones that to the collector's next run).
void forgetClasses(py::module_ &module)
{
    PyDict_Clear(PyModule_GetDict(module.ptr()));
    module.dec_ref();
    PyGC_Collect();
}

} // namespace

extern "C" PYBIND11_EXPORT PyObject *PyInit_KelvaraWidgets()
{
    PYBIND11_CHECK_PYTHON_VERSION
    try {
        requireSharedState();
        auto module = py::module_::create_extension_module("KelvaraWidgets", nullptr,
                                                           &moduleDefinition);
        try {
            kelvara::registerProgressDialog(module);
            kelvara::registerKelvaraDisplay(module);
            kelvara::registerKelvaraSelection(module);
            kelvara::deleteStrayDialogsAtExit();
        } catch (...) {
            forgetClasses(module);
            throw;
        }
        return module.ptr();
    }
    PYBIND11_CATCH_INIT_EXCEPTIONS
}
