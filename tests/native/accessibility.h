// What the dialog suites share to see a dialog as a user does who works with
// the keyboard alone or hears it through a screen reader.
#pragma once

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QList>
#include <QScopeGuard>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

// The controls that Tab reaches, in Tab order.
inline QList<QWidget *> tabChain(QWidget *dialog)
{
    QList<QWidget *> chain;
    for (QWidget *widget = dialog->nextInFocusChain(); widget != dialog; widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain << widget;
    }
    return chain;
}

// For the current row of a test with the columns "position", "name" and
// "role": that the control of a new Dialog at `position` in Tab order is
// announced with `name` and `role`, and that no other control reached by Tab
// has the same name. A radio button is announced in its own group.
template <class Dialog>
void verifyAnnounced()
{
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(QAccessible::Role, role);

    Dialog dialog;
    QStringList names;
    QList<QAccessible::Role> roles;
    for (QWidget *widget : tabChain(&dialog)) {
        const QAccessibleInterface *control = QAccessible::queryAccessibleInterface(widget);
        names << control->text(QAccessible::Name);
        roles << control->role();
    }
    QVERIFY(position < names.size());
    QCOMPARE(names.at(position), name);
    QCOMPARE(roles.at(position), role);
    QCOMPARE(names.count(name), 1);
    if (role == QAccessible::RadioButton) {
        QWidget *button = tabChain(&dialog).at(position);
        const auto group = QAccessible::queryAccessibleInterface(button)->relations(QAccessible::Label).value(0).first;
        QCOMPARE(group ? group->text(QAccessible::Name) : QString(), qobject_cast<QGroupBox *>(button->parentWidget())->title());
    }
}

// Once `dialog` runs, as a user without a mouse: Tab until `target` has the
// focus, one step down with the arrow key, Space, and Return for the default
// button, each key on whatever has the focus. Should a step fail, the dialog
// ends with -1, a result no test expects.
inline void walkByKeyboardOnceRunning(QDialog *dialog, QWidget *target)
{
    QTimer::singleShot(0, dialog, [dialog, target] {
        const auto endLoop = qScopeGuard([dialog] {
            if (dialog->isVisible())
                dialog->done(-1);
        });
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        const qsizetype controls = tabChain(dialog).size();
        for (qsizetype tabs = 0; tabs < controls && QApplication::focusWidget() != target; ++tabs)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), target);
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Space, Qt::Key_Return}) {
            // What a key press queues runs before the next one, as between a user's keys.
            QCoreApplication::processEvents();
            QTest::keyClick(QApplication::focusWidget(), key);
        }
    });
}

// While it lives, what assistive technology is told of controls of `roles`:
// the focus reaching one (once, as a screen reader takes the focus on what
// has it already for no news) and a change of its state or description, as
// "Focus alpha", "StateChanged beta: checked". Accessibility is turned on
// through Qt's platform interface, as a running screen reader does.
struct AccessibleEvents
{
    explicit AccessibleEvents(const QList<QAccessible::Role> &roles)
    {
        watched = roles;
        heard.clear();
        QAccessible::installUpdateHandler([](QAccessibleEvent *event) {
            const QAccessibleInterface *control = event->accessibleInterface();
            if (!control || !watched.contains(control->role()))
                return;
            const QString name = control->text(QAccessible::Name);
            QString line;
            if (event->type() == QAccessible::Focus)
                line = QStringLiteral("Focus ") + name;
            else if (event->type() == QAccessible::StateChanged)
                line = QStringLiteral("StateChanged ") + name
                    + QLatin1String(control->state().checked ? ": checked" : ": not checked");
            else if (event->type() == QAccessible::DescriptionChanged)
                line = QStringLiteral("DescriptionChanged %1: %2").arg(name, control->text(QAccessible::Description));
            if (!line.isEmpty() && heard.value(heard.size() - 1) != line)
                heard << line;
        });
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
    }
    ~AccessibleEvents()
    {
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(false);
        QAccessible::installUpdateHandler(nullptr);
    }

    static inline QList<QAccessible::Role> watched;
    static inline QStringList heard;
};
