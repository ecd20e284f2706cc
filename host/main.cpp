// kelvara-host: the least of a host application that the module needs. It
// owns a QApplication and embeds CPython 3.13 on the same thread, then runs
// its arguments the way the python command does ("script.py args",
// "-m module args", "-c code"), so pytest and the demo run inside it.
#include <Python.h>

#include <QApplication>
#include <QByteArray>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

// The interpreter takes the project's virtual environment from the program
// name: Python finds pyvenv.cfg beside it and sets sys.prefix accordingly.
QByteArray pythonProgram()
{
    const QByteArray fromEnvironment = qgetenv("KELVARA_HOST_PYTHON");
    return fromEnvironment.isEmpty() ? QByteArray(KELVARA_VENV_PYTHON) : fromEnvironment;
}

// The built extension module is importable without further setup; an
// empty KELVARA_MODULE_DIR leaves sys.path to the environment alone (for
// trying an installed wheel).
void addModuleDirToPythonPath()
{
    const QByteArray moduleDir =
        qEnvironmentVariableIsSet("KELVARA_MODULE_DIR") ? qgetenv("KELVARA_MODULE_DIR")
                                                         : QByteArray(KELVARA_MODULE_DIR);
    if (moduleDir.isEmpty())
        return;
    QByteArray path = qgetenv("PYTHONPATH");
    path = path.isEmpty() ? moduleDir : moduleDir + ':' + path;
    qputenv("PYTHONPATH", path);
}

// Every window a script made goes with the interpreter at the latest; one
// still here is lost for good.
void reportWindowsLeft()
{
    const auto windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows)
        std::fprintf(stderr, "kelvara-host: a window outlived the interpreter: %s\n",
                     qPrintable(window->objectName()));
}

int runPython(int argc, char **argv)
{
    addModuleDirToPythonPath();

    PyConfig config;
    PyConfig_InitPythonConfig(&config);
    config.parse_argv = 1;
    PyStatus status = PyConfig_SetBytesArgv(&config, argc, argv);
    if (!PyStatus_Exception(status))
        status = PyConfig_SetBytesString(&config, &config.program_name, pythonProgram().constData());
    if (!PyStatus_Exception(status))
        status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    if (PyStatus_Exception(status)) {
        if (PyStatus_IsExit(status))
            return status.exitcode;
        std::fprintf(stderr, "kelvara-host: cannot start Python: %s\n",
                     status.err_msg ? status.err_msg : "unknown error");
        return 1;
    }
    // Registered before any module's exit function, so it runs after them all
    // at the end of finalisation, also when a script raises SystemExit.
    Py_AtExit(reportWindowsLeft);
    // Runs the script or module and finalises the interpreter, so that the
    // dialogs a script leaves behind are destroyed while Qt still exists.
    return Py_RunMain();
}

QtMessageHandler defaultMessageHandler = nullptr;

// Qt's offscreen platform warns on every size-hint change of a shown window,
// which a ticking progress dialog makes on every tick; the warning says
// nothing about the script, so it is dropped.
void dropOffscreenNoise(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message == QLatin1String("This plugin does not support propagateSizeHints()"))
        return;
    defaultMessageHandler(type, context, message);
}

} // namespace

int main(int argc, char **argv)
{
    // Qt sees only the program name: every other argument belongs to Python.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    defaultMessageHandler = qInstallMessageHandler(dropOffscreenNoise);
    return runPython(argc, argv);
}
