// Preloaded into a host process (LD_PRELOAD), this Py_GetVersion comes before
// the interpreter's own in symbol lookup, so KelvaraWidgets meets the version
// text that KELVARA_PYTHON_VERSION holds; the version check at import can so
// be tried without an interpreter of another version.
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) const char *Py_GetVersion()
{
    const char *version = std::getenv("KELVARA_PYTHON_VERSION");
    return version ? version : "";
}
