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
    cls.def("reject", checked(&ProgressDialog::reject))
        .def("cancelled", checked(&ProgressDialog::cancelled))
        .def("setMessage", checked(&setMessage))
        .def("tick", checked(&ProgressDialog::tick))
        .def("setWindowTitle", checked(&setWindowTitle))
        .def_property("modal", checked<ProgressDialog>(&QWidget::isModal),
                      checked<ProgressDialog>(&QDialog::setModal))
        .def("show", checked<ProgressDialog>(&QWidget::show))
        .def("hide", checked<ProgressDialog>(&QWidget::hide));
    addDeleteNotice(cls);
}

} // namespace kelvara
