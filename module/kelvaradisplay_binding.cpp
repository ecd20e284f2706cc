#include "dialogclass.h"

#include "kelvaradisplay.h"

#include <QByteArray>

namespace kelvara {

namespace {

// The display data is JSON in UTF-8; its bytes pass through untouched.
void setDisplayData(KelvaraDisplay &dialog, const std::string &displayData)
{
    dialog.setDisplayData(QByteArray::fromStdString(displayData));
}

std::string displayData(KelvaraDisplay &dialog)
{
    return dialog.displayData().toStdString();
}

} // namespace

void registerKelvaraDisplay(py::module_ &module)
{
    auto cls = defineDialogClass<KelvaraDisplay>(module, "KelvaraDisplay");
    cls.def("run", guardedMethod(&runNotNested<KelvaraDisplay>))
        .def("setDisplayData", guardedMethod(&setDisplayData))
        .def("displayData", guardedMethod(&displayData));
    addDeleteNotice(cls);
}

} // namespace kelvara
