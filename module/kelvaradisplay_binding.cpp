#include "dialogclass.h"

#include "kelvaradisplay.h"

#include <QByteArray>

namespace kelvara {

void registerKelvaraDisplay(py::module_ &module)
{
    auto cls = defineDialogClass<KelvaraDisplay>(module, "KelvaraDisplay");
    // The display data is JSON in UTF-8; its bytes pass through untouched.
    cls.def("run", [](KelvaraDisplay &dialog) { return constructed(dialog).run(); }, Guard())
        .def("setDisplayData", [](KelvaraDisplay &dialog, const std::string &displayData) {
            constructed(dialog).setDisplayData(QByteArray::fromStdString(displayData));
        }, Guard())
        .def("displayData", [](const KelvaraDisplay &dialog) {
            return constructed(dialog).displayData().toStdString();
        }, Guard());
    addDeleteNotice(cls);
}

} // namespace kelvara
