// The module kelvarahost, offered to the scripts that kelvara-host runs: the
// few things a test or the demo needs to act as the user while a dialog's
// event loop runs. KelvaraWidgets itself never uses it.
#include <pybind11/embed.h>
#include <pybind11/functional.h>
#include <pybind11/stl.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMetaEnum>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <map>
#include <optional>
#include <stdexcept>

namespace py = pybind11;

namespace {

// Callbacks waiting for their timer, by id. They are kept here rather than in
// the timers so that the interpreter can drop them before it finalises.
std::map<int, py::object> pendingCallbacks;
int lastCallbackId = 0;
// The first exception that a callback raised, until the script collects it.
std::optional<py::error_already_set> callbackError;

// A QDialog holding only the Ok and Cancel button box that every dialog of
// KelvaraWidgets has: what Qt itself keeps per dialog shown, measured beside
// them.
class PlainDialog : public QDialog
{
public:
    PlainDialog()
    {
        setObjectName(QStringLiteral("PlainDialog"));
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        (new QVBoxLayout(this))->addWidget(buttons);
    }
};

QWidget *findDialog(const std::string &name)
{
    const QString objectName = QString::fromStdString(name);
    QWidget *hidden = nullptr;
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        if (widget->objectName() != objectName)
            continue;
        if (widget->isVisible())
            return widget;
        if (!hidden)
            hidden = widget;
    }
    if (!hidden)
        throw py::key_error("no top-level widget named " + name);
    return hidden;
}

QPushButton *standardButton(QWidget *dialog, const std::string &name)
{
    auto *box = dialog->findChild<QDialogButtonBox *>();
    const QMetaEnum buttons = QMetaEnum::fromType<QDialogButtonBox::StandardButtons>();
    bool known = false;
    const int which = buttons.keyToValue(name.c_str(), &known);
    QPushButton *button = (box && known) ? box->button(QDialogButtonBox::StandardButton(which)) : nullptr;
    if (!button)
        throw py::key_error(dialog->objectName().toStdString() + " has no " + name + " button");
    return button;
}

QWidget *findChild(const std::string &dialog, const std::string &child)
{
    QWidget *parent = findDialog(dialog);
    auto *widget = parent->findChild<QWidget *>(QString::fromStdString(child));
    if (!widget)
        throw py::key_error(dialog + " has no child widget named " + child);
    return widget;
}

// Ends every modal loop so that a failed callback cannot leave run() waiting
// for a user who will never come.
void rejectModalDialogs()
{
    while (QWidget *modal = QApplication::activeModalWidget()) {
        auto *dialog = qobject_cast<QDialog *>(modal);
        if (!dialog)
            break;
        dialog->reject();
    }
}

void runCallback(int id)
{
    auto found = pendingCallbacks.find(id);
    if (found == pendingCallbacks.end())
        return;
    py::object callback = std::move(found->second);
    pendingCallbacks.erase(found);
    try {
        callback();
    } catch (py::error_already_set &error) {
        if (!callbackError)
            callbackError.emplace(std::move(error));
        rejectModalDialogs();
    }
}

py::object toPython(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return py::bool_(value.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
        return py::int_(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return py::float_(value.toDouble());
    case QMetaType::QStringList:
        return py::cast(value.toStringList().join(QLatin1Char('\n')).toStdString());
    default:
        return py::str(value.toString().toStdString());
    }
}

QVariant fromPython(const py::handle &value)
{
    if (py::isinstance<py::bool_>(value))
        return value.cast<bool>();
    if (py::isinstance<py::int_>(value))
        return value.cast<long long>();
    if (py::isinstance<py::float_>(value))
        return value.cast<double>();
    return QString::fromStdString(py::str(value).cast<std::string>());
}

} // namespace

PYBIND11_EMBEDDED_MODULE(kelvarahost, module)
{
    module.doc() = "Acting as the user in kelvara-host: timers, buttons, keys, properties, pictures.";

    py::class_<PlainDialog>(module, "PlainDialog", py::module_local(),
                            "A plain QDialog with an Ok and a Cancel button, deleted with this object.")
        .def(py::init<>())
        .def("show", [](PlainDialog &dialog) { dialog.show(); }, "Show the dialog.")
        .def("run", [](PlainDialog &dialog) { return dialog.exec() == QDialog::Accepted; },
             "Run the dialog modally; True when Ok was pressed.");

    module.def("call_later", [](int milliseconds, py::object callback) {
        const int id = ++lastCallbackId;
        pendingCallbacks.emplace(id, std::move(callback));
        QTimer::singleShot(milliseconds, qApp, [id] { runCallback(id); });
    }, py::arg("milliseconds"), py::arg("callback"),
       "Call callback() from the event loop after the given delay. An exception it raises "
       "is kept for raise_pending_error(), and every modal dialog is rejected.");

    module.def("raise_pending_error", [] {
        if (!callbackError)
            return;
        py::error_already_set error = std::move(*callbackError);
        callbackError.reset();
        error.restore();
        throw py::error_already_set();
    }, "Raise the first exception that a call_later callback raised, if any.");

    module.def("find_dialog", [](const std::string &name) -> py::object {
        const auto widgets = QApplication::topLevelWidgets();
        for (QWidget *widget : widgets) {
            if (widget->objectName() == QString::fromStdString(name)) {
                return py::dict(py::arg("title") = widget->windowTitle().toStdString(),
                                py::arg("visible") = widget->isVisible(),
                                py::arg("modal") = widget->isModal(),
                                py::arg("width") = widget->width(),
                                py::arg("height") = widget->height());
            }
        }
        return py::none();
    }, py::arg("name"),
       "Describe the top-level widget with this object name (title, visible, modal, size), "
       "or None.");

    module.def("top_levels", [] {
        std::vector<std::string> names;
        const auto widgets = QApplication::topLevelWidgets();
        for (const QWidget *widget : widgets)
            names.push_back(widget->objectName().toStdString());
        return names;
    }, "Object names of all top-level widgets, shown or hidden.");

    module.def("press", [](const std::string &dialog, const std::string &button) {
        QPushButton *pushButton = standardButton(findDialog(dialog), button);
        if (!pushButton->isEnabled())
            return false;
        pushButton->click();
        return true;
    }, py::arg("dialog"), py::arg("button"),
       "Click a standard button (\"Ok\", \"Cancel\") of the dialog's button box; "
       "False if it is disabled.");

    module.def("click_through_window", [](const std::string &title, const std::string &button) {
        const auto widgets = QApplication::topLevelWidgets();
        const auto shown = std::find_if(widgets.cbegin(), widgets.cend(), [&title](const QWidget *widget) {
            return widget->isVisible() && widget->windowTitle() == QString::fromStdString(title);
        });
        if (shown == widgets.cend())
            throw py::key_error("no shown window titled " + title);
        const QPushButton *pushButton = standardButton(*shown, button);
        QTest::mouseClick((*shown)->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          pushButton->mapTo(*shown, pushButton->rect().center()));
    }, py::arg("title"), py::arg("button"),
       "Click a standard button of the shown window with this title with the mouse, delivered "
       "through the window system as a user's click is: a window that a modal dialog blocks "
       "does not get it.");

    module.def("send_key", [](const std::string &dialog, const std::string &key) {
        QWidget *target = findDialog(dialog);
        if (QWidget *focus = target->focusWidget())
            target = focus;
        const QKeySequence sequence = QKeySequence::fromString(QString::fromStdString(key));
        if (sequence.isEmpty())
            throw py::value_error("unknown key " + key);
        const QKeyCombination combination = sequence[0];
        QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
        QKeyEvent release(QEvent::KeyRelease, combination.key(), combination.keyboardModifiers());
        QPointer<QWidget> guard(target);
        QApplication::sendEvent(target, &press);
        if (guard)
            QApplication::sendEvent(target, &release);
    }, py::arg("dialog"), py::arg("key"),
       "Send a key press and release (\"Escape\", \"Return\") to the dialog's focus widget.");

    module.def("close", [](const std::string &dialog) { return findDialog(dialog)->close(); },
               py::arg("dialog"), "Ask the dialog to close, as its window's close button does.");

    module.def("child_property", [](const std::string &dialog, const std::string &child,
                                     const std::string &property) {
        return toPython(findChild(dialog, child)->property(property.c_str()));
    }, py::arg("dialog"), py::arg("child"), py::arg("property"),
       "Read a property of a child widget found by object name.");

    module.def("set_child_property", [](const std::string &dialog, const std::string &child,
                                         const std::string &property, const py::object &value) {
        if (!findChild(dialog, child)->setProperty(property.c_str(), fromPython(value)))
            throw py::value_error("cannot set " + property + " of " + child);
    }, py::arg("dialog"), py::arg("child"), py::arg("property"), py::arg("value"),
       "Set a property of a child widget found by object name (text, checked, ...).");

    module.def("toggle_item", [](const std::string &dialog, const std::string &view,
                                  const std::string &text) {
        auto *itemView = qobject_cast<QAbstractItemView *>(findChild(dialog, view));
        if (!itemView || !itemView->model())
            throw py::key_error(view + " is not an item view with a model");
        QAbstractItemModel *model = itemView->model();
        const QModelIndexList found = model->match(
            model->index(0, 0), Qt::DisplayRole, QString::fromStdString(text), 1,
            Qt::MatchExactly | Qt::MatchRecursive);
        if (found.isEmpty())
            throw py::key_error(view + " has no item " + text);
        // What a click on the check box does: anything but checked becomes checked.
        const bool checked = found.first().data(Qt::CheckStateRole).toInt() == Qt::Checked;
        model->setData(found.first(), checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }, py::arg("dialog"), py::arg("view"), py::arg("text"),
       "Toggle the check box of the first item with this text in an item view.");

    module.def("grab", [](const std::string &dialog, const std::string &path) {
        if (!findDialog(dialog)->grab().save(QString::fromStdString(path), "PNG"))
            throw std::runtime_error("cannot save " + path);
    }, py::arg("dialog"), py::arg("path"), "Save a PNG picture of the dialog.");

    module.def("process_events", [] { QApplication::processEvents(); },
               "Run one pass of the event loop.");

    module.def("platform", [] { return QGuiApplication::platformName().toStdString(); },
               "The Qt platform plugin in use (\"offscreen\", \"xcb\", ...).");

    module.def("set_keyboard_input_interval", [](int milliseconds) {
        QApplication::setKeyboardInputInterval(milliseconds);
    }, py::arg("milliseconds"), "Set how long the item views take keys as one typed name.");

    // Drop the callbacks while the interpreter can still release them.
    py::module_::import("atexit").attr("register")(py::cpp_function([] {
        pendingCallbacks.clear();
        callbackError.reset();
    }));
}
