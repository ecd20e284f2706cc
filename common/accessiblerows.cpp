#include "accessiblerows.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCoreApplication>
#include <QEvent>

namespace {

class CurrentRowAnnouncer : public QObject
{
public:
    explicit CurrentRowAnnouncer(QAbstractItemView *view)
        : QObject(view)
        , view(view)
    {
        view->installEventFilter(this);
        connect(view->model(), &QAbstractItemModel::dataChanged, this, &CurrentRowAnnouncer::announceCheckChange);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Qt announces the view itself once the focus event is through;
        // the row comes after it.
        if (event->type() == QEvent::FocusIn && QAccessible::isActive())
            QMetaObject::invokeMethod(this, &CurrentRowAnnouncer::announceFocus, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }

private:
    QAccessibleInterface *currentRow() const
    {
        QAccessibleInterface *table = QAccessible::queryAccessibleInterface(view);
        return table ? table->focusChild() : nullptr;
    }

    void announceFocus()
    {
        if (!view->hasFocus())
            return;
        if (QAccessibleInterface *row = currentRow()) {
            QAccessibleEvent focus(row, QAccessible::Focus);
            QAccessible::updateAccessibility(&focus);
        }
    }

    void announceCheckChange(const QModelIndex &first, const QModelIndex &last, const QList<int> &roles)
    {
        const QModelIndex current = view->currentIndex();
        if (!QAccessible::isActive() || (!roles.isEmpty() && !roles.contains(Qt::CheckStateRole))
            || current.parent() != first.parent() || current.row() < first.row() || current.row() > last.row()
            || current.column() < first.column() || current.column() > last.column())
            return;
        QAccessibleInterface *row = currentRow();
        if (!row)
            return;
        QAccessible::State changed;
        changed.checked = true;
        changed.checkStateMixed = true;
        QAccessibleStateChangeEvent stateChange(row, changed);
        QAccessible::updateAccessibility(&stateChange);
        if (checkStateGoesIntoDescription) {
            QAccessibleEvent descriptionChange(row, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&descriptionChange);
        }
    }

    QAbstractItemView *view;
};

} // namespace

QString checkStateInWords(const QVariant &checkState)
{
    if (!checkState.isValid())
        return QString();
    switch (checkState.toInt()) {
    case Qt::Checked:
        return QCoreApplication::translate("CheckState", "checked");
    case Qt::PartiallyChecked:
        return QCoreApplication::translate("CheckState", "partially checked");
    default:
        return QCoreApplication::translate("CheckState", "not checked");
    }
}

void announceCurrentRow(QAbstractItemView *view)
{
    new CurrentRowAnnouncer(view);
}
