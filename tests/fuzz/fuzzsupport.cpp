// The dialogs are real widgets and need a QApplication; Qt's offscreen
// platform stands in for a screen. Each harness links this file itself:
// libFuzzer only looks LLVMFuzzerInitialize up weakly, so a static library
// would never be pulled in.
#include <QApplication>

// libFuzzer checks for leaks after each input that allocated more than it
// freed, and saves such an input as leak-<hash>. LeakSanitizer's own check at
// process exit comes after libFuzzer's exit() has run the static destructors,
// Qt's among them, and blames no input: Qt 6.11 loses its FreeType faces when
// its statics go before the QApplication, which no harness can order (the
// statics are created on first use, after the application).
extern "C" const char *__lsan_default_options()
{
    return "leak_check_at_exit=0";
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // QApplication keeps a reference to argc and may consume arguments, so it
    // gets its own rather than libFuzzer's. Never destroyed: a static one
    // would be torn down after the Qt statics it uses.
    static int argc = 1;
    static char name[] = "kelvara-fuzz";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv);
    return 0;
}
