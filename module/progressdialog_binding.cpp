#include "dialogclass.h"

#include "progressdialog.h"

#include <QString>

namespace kelvara {

namespace {

void setMessage(ProgressDialog &dialog, const std::string &message)
{
    dialog.setMessage(QString::fromStdString(message));
}

void setWindowTitle(ProgressDialog &dialog, const std::string &title)
{
    dialog.setWindowTitle(QString::fromStdString(title));
}

} // namespace

void registerProgressDialog(py::module_ &module)
{
    auto cls = defineDialogClass<ProgressDialog>(module, "ProgressDialog");
    // reject() is virtual: the call runs the override, as a click on Cancel does.
    cls.def("reject", guardedMethod(&ProgressDialog::reject))
        .def("cancelled", guardedMethod(&ProgressDialog::cancelled))
        .def("setMessage", guardedMethod(&setMessage))
        .def("tick", guardedMethod(&ProgressDialog::tick))
        .def("setWindowTitle", guardedMethod(&setWindowTitle))
        .def_property("modal", guardedMethod<ProgressDialog>(&QWidget::isModal),
                      guardedMethod<ProgressDialog>(&QDialog::setModal))
        .def("show", guardedMethod<ProgressDialog>(&QWidget::show))
        .def("hide", guardedMethod<ProgressDialog>(&QWidget::hide));
    addDeleteNotice(cls);
}

} // namespace kelvara
