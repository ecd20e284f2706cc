// The dialogs are real widgets and need a QApplication; Qt's offscreen
// platform stands in for a screen. Each harness links this file itself:
// libFuzzer only looks LLVMFuzzerInitialize up weakly, so a static library
// would never be pulled in.
#include <QApplication>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // QApplication keeps a reference to argc and may consume arguments, so it
    // gets its own rather than libFuzzer's.
    static int argc = 1;
    static char name[] = "kelvara-fuzz";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return 0;
}
