#include "progressdialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMetaMethod>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

class tst_ProgressDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void shouldHaveDefaultValuesOnCreation();
    void shouldShowOnlyCancelButton();
    void shouldDeclareSlotsInOrder();
    void shouldCycleDotTrail_data();
    void shouldCycleDotTrail();
    void shouldRestartTrailOnNewMessage();
    void shouldWrapLongMessageWithinFormWidth();
    void shouldKeepCancelOnScreen_data();
    void shouldKeepCancelOnScreen();
    void shouldCancelOnEveryRejectPath_data();
    void shouldCancelOnEveryRejectPath();
    void shouldDeliverCancelClickDuringTick();
    void shouldKeepCancelledAfterShowingAgain();
    void shouldNotCancelOnAccept();

private:
    static QLabel *label(ProgressDialog &dialog) { return dialog.findChild<QLabel *>(QStringLiteral("label")); }
    static QDialogButtonBox *buttonBox(ProgressDialog &dialog)
    {
        return dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    }
};

void tst_ProgressDialog::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_ProgressDialog::shouldHaveDefaultValuesOnCreation()
{
    ProgressDialog dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("ProgressDialog"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Query Progress"));
    QCOMPARE(dialog.size(), QSize(400, 65));
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.isModal());
    QVERIFY(!dialog.cancelled());
    QCOMPARE(label(dialog)->text(), QStringLiteral("TextLabel"));

    auto *layout = dialog.findChild<QVBoxLayout *>(QStringLiteral("verticalLayout"));
    QVERIFY(layout);
    QCOMPARE(dialog.layout(), layout);
    QCOMPARE(layout->count(), 2);
    QCOMPARE(layout->itemAt(0)->widget(), label(dialog));
    QCOMPARE(layout->itemAt(1)->widget(), buttonBox(dialog));
    QCOMPARE(buttonBox(dialog)->orientation(), Qt::Horizontal);
    QCOMPARE(buttonBox(dialog)->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
}

void tst_ProgressDialog::shouldShowOnlyCancelButton()
{
    ProgressDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QPushButton *ok = buttonBox(dialog)->button(QDialogButtonBox::Ok);
    QPushButton *cancel = buttonBox(dialog)->button(QDialogButtonBox::Cancel);
    QVERIFY(ok);
    QVERIFY(!ok->isVisible());
    QVERIFY(cancel->isVisible());
}

void tst_ProgressDialog::shouldDeclareSlotsInOrder()
{
    const QMetaObject &meta = ProgressDialog::staticMetaObject;
    QCOMPARE(meta.className(), "ProgressDialog");
    QCOMPARE(meta.superClass(), &QDialog::staticMetaObject);
    const QList<QByteArray> expected = {"reject()", "cancelled()", "setMessage(QString)", "tick()"};
    QCOMPARE(meta.methodCount() - meta.methodOffset(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QMetaMethod method = meta.method(meta.methodOffset() + i);
        QCOMPARE(method.methodSignature(), expected.at(i));
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Public);
    }
    QCOMPARE(meta.method(meta.methodOffset() + 2).parameterNames(), QList<QByteArray>{"message"});
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());
}

// Each row gives the message (none: the form's "TextLabel" with an empty
// fallback) and the label after each of a series of ticks.
void tst_ProgressDialog::shouldCycleDotTrail_data()
{
    QTest::addColumn<bool>("setMessage");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("labels");

    const auto trail = [](const QString &text, int from, int to) {
        QStringList labels;
        for (int dots = from; dots <= to; ++dots)
            labels << text + QString(dots, QLatin1Char('.'));
        return labels;
    };
    const QString textLabel = QStringLiteral("TextLabel");
    QTest::newRow("no message") << false << QString()
                                << trail(textLabel, 1, 31) + QStringList{QString()} + trail(QString(), 1, 40)
                                        + QStringList{QString()};

    const QString seven = QStringLiteral("Loading");
    QTest::newRow("7 characters") << true << seven
                                  << trail(seven, 1, 33) + QStringList{seven} + trail(seven, 1, 2);

    const QString thirtyNine(39, QLatin1Char('m'));
    QTest::newRow("39 characters") << true << thirtyNine
                                   << QStringList{thirtyNine + QLatin1Char('.'), thirtyNine,
                                                  thirtyNine + QLatin1Char('.'), thirtyNine};
    const QString forty(40, QLatin1Char('m'));
    QTest::newRow("40 characters") << true << forty << QStringList{forty, forty, forty};
    const QString longer(100, QLatin1Char('m'));
    QTest::newRow("longer") << true << longer << QStringList{longer, longer};
    // Length counts UTF-16 code units: 20 non-BMP characters fill the line.
    QString astral;
    for (int i = 0; i < 20; ++i)
        astral += QString::fromUcs4(U"\U0001F9EA");
    QTest::newRow("surrogate pairs") << true << astral << QStringList{astral, astral};
    const QString accented = QStringLiteral("Requête en cours");
    QTest::newRow("non-ASCII") << true << accented << trail(accented, 1, 3);
    const QString markup = QStringLiteral("<b>KCL-0012</b><img src=\"kcl.png\">");
    QTest::newRow("markup") << true << markup << trail(markup, 1, 3);
}

void tst_ProgressDialog::shouldCycleDotTrail()
{
    QFETCH(bool, setMessage);
    QFETCH(QString, message);
    QFETCH(QStringList, labels);

    ProgressDialog dialog;
    if (setMessage) {
        dialog.setMessage(message);
        QCOMPARE(label(dialog)->text(), message);
        // Shown as given: as wide as the text itself, markup and all.
        QVERIFY(label(dialog)->sizeHint().width() >= label(dialog)->fontMetrics().horizontalAdvance(message));
    }
    for (int tick = 0; tick < labels.size(); ++tick) {
        dialog.tick();
        QVERIFY2(label(dialog)->text() == labels.at(tick),
                 qPrintable(QStringLiteral("tick %1: \"%2\"").arg(tick + 1).arg(label(dialog)->text())));
    }
}

void tst_ProgressDialog::shouldRestartTrailOnNewMessage()
{
    ProgressDialog dialog;
    dialog.setMessage(QStringLiteral("first"));
    for (int i = 0; i < 5; ++i)
        dialog.tick();
    QCOMPARE(label(dialog)->text(), QStringLiteral("first....."));
    // Screen readers hear the message, not each dot.
    QCOMPARE(label(dialog)->accessibleName(), QStringLiteral("first"));
    dialog.setMessage(QStringLiteral("second"));
    QCOMPARE(label(dialog)->text(), QStringLiteral("second"));
    dialog.tick();
    QCOMPARE(label(dialog)->text(), QStringLiteral("second."));
    // The fallback after a full trail is the latest message, not the first.
    for (int i = 0; i < 34; ++i)
        dialog.tick();
    QCOMPARE(label(dialog)->text(), QStringLiteral("second"));
}

void tst_ProgressDialog::shouldWrapLongMessageWithinFormWidth()
{
    ProgressDialog dialog;
    dialog.show();
    const QSize formSize = dialog.size();
    // The long word cannot wrap at a word boundary.
    const QString message = QStringLiteral("Reading ") + QString(300, QLatin1Char('x')) + QStringLiteral(" from the server");
    dialog.setMessage(message);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCOMPARE(dialog.width(), formSize.width());
    QVERIFY(label(dialog)->height() >= label(dialog)->heightForWidth(label(dialog)->width()));
    // Cut anywhere, the message takes at least as many full lines as its width fills.
    const QFontMetrics metrics = label(dialog)->fontMetrics();
    QVERIFY(label(dialog)->height()
            >= metrics.horizontalAdvance(message) / label(dialog)->contentsRect().width() * metrics.height());
    dialog.setMessage(QStringLiteral("Done"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCOMPARE(dialog.size(), formSize);
}

enum class TooLarge { Form, MessageBeforeShow, MessageWhileShown };
Q_DECLARE_METATYPE(TooLarge)

void tst_ProgressDialog::shouldKeepCancelOnScreen_data()
{
    QTest::addColumn<TooLarge>("tooLarge");
    QTest::newRow("form larger than the screen") << TooLarge::Form;
    QTest::newRow("long message, then show") << TooLarge::MessageBeforeShow;
    QTest::newRow("long message while shown") << TooLarge::MessageWhileShown;
}

void tst_ProgressDialog::shouldKeepCancelOnScreen()
{
    QFETCH(TooLarge, tooLarge);
    // Looks like markup, and is read as it stands.
    const QString message = QStringLiteral("<b>x</b> ").repeated(600);
    ProgressDialog dialog;
    const QRect available = dialog.screen()->availableGeometry();
    if (tooLarge == TooLarge::Form)
        dialog.resize(available.size() + QSize(0, 200));
    if (tooLarge == TooLarge::MessageBeforeShow)
        dialog.setMessage(message);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    if (tooLarge == TooLarge::MessageWhileShown)
        dialog.setMessage(message);
    // Cancel with it.
    QVERIFY(available.contains(dialog.frameGeometry()));
    if (tooLarge == TooLarge::Form)
        return;
    QCOMPARE(label(dialog)->accessibleDescription(), message);
    QTextDocument toolTip;
    toolTip.setHtml(label(dialog)->toolTip());
    QCOMPARE(toolTip.toPlainText().replace(QChar::Nbsp, QLatin1Char(' ')), message);
}

enum class RejectPath { CancelButton, SpaceOnFocus, EscapeKey, CloseWindow, DirectCall };
Q_DECLARE_METATYPE(RejectPath)

void tst_ProgressDialog::shouldCancelOnEveryRejectPath_data()
{
    QTest::addColumn<RejectPath>("path");
    QTest::newRow("Cancel button") << RejectPath::CancelButton;
    QTest::newRow("Space on the focused Cancel") << RejectPath::SpaceOnFocus;
    QTest::newRow("Escape key") << RejectPath::EscapeKey;
    QTest::newRow("window close") << RejectPath::CloseWindow;
    QTest::newRow("reject()") << RejectPath::DirectCall;
}

void tst_ProgressDialog::shouldCancelOnEveryRejectPath()
{
    QFETCH(RejectPath, path);
    ProgressDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy rejected(&dialog, &QDialog::rejected);

    switch (path) {
    case RejectPath::CancelButton:
        QTest::mouseClick(buttonBox(dialog)->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        break;
    case RejectPath::SpaceOnFocus:
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), buttonBox(dialog)->button(QDialogButtonBox::Cancel));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        break;
    case RejectPath::EscapeKey:
        QTest::keyClick(&dialog, Qt::Key_Escape);
        break;
    case RejectPath::CloseWindow:
        QVERIFY(dialog.close());
        break;
    case RejectPath::DirectCall:
        dialog.reject();
        break;
    }
    QVERIFY(!dialog.isVisible());
    QVERIFY(dialog.cancelled());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(rejected.count(), 1);

    dialog.reject();
    QVERIFY(dialog.cancelled());
    QVERIFY(!dialog.isVisible());
}

void tst_ProgressDialog::shouldDeliverCancelClickDuringTick()
{
    ProgressDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QPushButton *cancel = buttonBox(dialog)->button(QDialogButtonBox::Cancel);
    // A click made while the script works waits in the window system's queue,
    // as a real one does, and lands during the next tick.
    QWindow *window = dialog.windowHandle();
    const QPointF at = cancel->mapTo(&dialog, cancel->rect().center());
    using Delivery = QWindowSystemInterface::AsynchronousDelivery;
    QWindowSystemInterface::handleMouseEvent<Delivery>(window, at, window->mapToGlobal(at), Qt::LeftButton,
                                                       Qt::LeftButton, QEvent::MouseButtonPress);
    QWindowSystemInterface::handleMouseEvent<Delivery>(window, at, window->mapToGlobal(at), Qt::NoButton,
                                                       Qt::LeftButton, QEvent::MouseButtonRelease);
    QVERIFY(!dialog.cancelled());
    dialog.tick();
    QVERIFY(dialog.cancelled());
}

void tst_ProgressDialog::shouldKeepCancelledAfterShowingAgain()
{
    ProgressDialog dialog;
    dialog.show();
    dialog.reject();
    dialog.show();
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.cancelled());
    dialog.setMessage(QStringLiteral("still working"));
    dialog.tick();
    QVERIFY(dialog.cancelled());
}

void tst_ProgressDialog::shouldNotCancelOnAccept()
{
    ProgressDialog dialog;
    dialog.show();
    dialog.accept();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.cancelled());
}

QTEST_MAIN(tst_ProgressDialog)
#include "tst_progressdialog.moc"
