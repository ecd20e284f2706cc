#include "dialogclass.h"

// pybind11's module definition checks the interpreter version (3.13.x only)
// before anything else runs, and turns a failing registration into ImportError.
PYBIND11_MODULE(KelvaraWidgets, module)
{
    kelvara::registerProgressDialog(module);
    kelvara::registerKelvaraDisplay(module);
    kelvara::registerKelvaraSelection(module);
    kelvara::deleteStrayDialogsAtExit();
}
