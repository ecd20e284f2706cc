#include "dialogclass.h"

#include "progressdialog.h"

#include <QString>

namespace kelvara {

void registerProgressDialog(py::module_ &module)
{
    auto cls = defineDialogClass<ProgressDialog>(module, "ProgressDialog");
    // reject() is virtual: the call runs the override, as a click on Cancel does.
    cls.def("reject", [](ProgressDialog &dialog) { constructed(dialog).reject(); }, Guard())
        .def("cancelled", [](const ProgressDialog &dialog) { return constructed(dialog).cancelled(); },
             Guard())
        .def("setMessage", [](ProgressDialog &dialog, const std::string &message) {
            constructed(dialog).setMessage(QString::fromStdString(message));
        }, Guard())
        .def("tick", [](ProgressDialog &dialog) { constructed(dialog).tick(); }, Guard())
        .def("setWindowTitle", [](ProgressDialog &dialog, const std::string &title) {
            constructed(dialog).setWindowTitle(QString::fromStdString(title));
        }, Guard())
        .def_property("modal",
                      py::cpp_function([](const ProgressDialog &dialog) {
                          return constructed(dialog).isModal();
                      }, Guard()),
                      py::cpp_function([](ProgressDialog &dialog, bool modal) {
                          constructed(dialog).setModal(modal);
                      }, py::is_setter(), Guard()),
                      py::return_value_policy::reference_internal)
        .def("show", [](ProgressDialog &dialog) { constructed(dialog).show(); }, Guard())
        .def("hide", [](ProgressDialog &dialog) { constructed(dialog).hide(); }, Guard());
    addDeleteNotice(cls);
}

} // namespace kelvara
