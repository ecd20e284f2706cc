#include "dialogclass.h"

#include "progressdialog.h"

#include <QString>

namespace kelvara {

void registerProgressDialog(py::module_ &module)
{
    auto cls = defineDialogClass<ProgressDialog>(module, "ProgressDialog");
    cls.def("reject", &ProgressDialog::reject, Guard())
        .def("cancelled", &ProgressDialog::cancelled, Guard())
        .def("setMessage", [](ProgressDialog &dialog, const std::string &message) {
            dialog.setMessage(QString::fromStdString(message));
        }, Guard())
        .def("tick", &ProgressDialog::tick, Guard())
        .def("setWindowTitle", [](ProgressDialog &dialog, const std::string &title) {
            dialog.setWindowTitle(QString::fromStdString(title));
        }, Guard())
        .def_property("modal",
                      py::cpp_function([](const ProgressDialog &dialog) { return dialog.isModal(); },
                                       Guard()),
                      py::cpp_function([](ProgressDialog &dialog, bool modal) { dialog.setModal(modal); },
                                       py::is_setter(), Guard()),
                      py::return_value_policy::reference_internal)
        .def("show", [](ProgressDialog &dialog) { dialog.show(); }, Guard())
        .def("hide", [](ProgressDialog &dialog) { dialog.hide(); }, Guard());
    addDeleteNotice(cls);
}

} // namespace kelvara
