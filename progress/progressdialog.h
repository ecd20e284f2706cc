#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class ProgressDialog;
}

// A modeless "please wait" dialog for scripts running long tasks on the GUI
// thread: a message with a growing trail of dots and a Cancel button. Each
// tick() runs one event pass, which repaints the dialog and delivers a click
// on Cancel; the script polls cancelled() and decides itself what to do.
class ProgressDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ProgressDialog(QWidget *parent = nullptr);
    ~ProgressDialog() override;

public Q_SLOTS:
    // Every way of dismissing the dialog (Cancel, Escape, the close button,
    // a direct call) ends up here, so this is where the cancel is recorded.
    void reject() override;
    bool cancelled() const;
    void setMessage(const QString &message);
    void tick();

private:
    void fitHeightToMessage();

    Ui::ProgressDialog *ui;
    bool wasCancelled;
    QString lastMessage;
    // The height the form gives the dialog, which a short message returns to.
    int formHeight;
};
