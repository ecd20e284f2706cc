#include "dialogclass.h"

#include <QApplication>
#include <QThread>

#include <stdexcept>

namespace kelvara {

RequireGuiThread::RequireGuiThread()
{
    const auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app)
        throw std::runtime_error("KelvaraWidgets: a QApplication must exist before a dialog is "
                                 "created or used; the host application creates it first");
    if (QThread::currentThread() != app->thread())
        throw std::runtime_error("KelvaraWidgets: dialogs may only be used from the thread of "
                                 "the QApplication, not from another thread");
}

void DeleteOnOwnerThread::operator()(QObject *dialog) const
{
    if (QThread::currentThread() == dialog->thread())
        delete dialog;
    else
        dialog->deleteLater();
}

} // namespace kelvara
