#include "progressdialog.h"
#include "ui_progressdialog.h"

#include "onscreen.h"

#include <QCoreApplication>
#include <QLayout>
#include <QPushButton>

namespace {
// Beyond this many UTF-16 code units the dot trail starts over.
constexpr qsizetype MaxLabelLength = 40;
}

ProgressDialog::ProgressDialog(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
    , ui(new Ui::ProgressDialog)
    , wasCancelled(false)
{
    ui->setupUi(this);
    keepOnScreen(this);
    formHeight = height();
    // The form keeps an Ok button wired to accept(); the user only ever sees Cancel.
    ui->buttonBox->button(QDialogButtonBox::Ok)->setVisible(false);
}

ProgressDialog::~ProgressDialog()
{
    delete ui;
}

void ProgressDialog::reject()
{
    QDialog::reject();
    wasCancelled = true;
}

bool ProgressDialog::cancelled() const
{
    return wasCancelled;
}

void ProgressDialog::setMessage(const QString &message)
{
    ui->label->setText(message);
    lastMessage = message;
    fitHeightToMessage();
}

void ProgressDialog::tick()
{
    // The dot count lives only in the label's text.
    QString text = ui->label->text() + QLatin1Char('.');
    if (text.length() > MaxLabelLength)
        text = lastMessage;
    ui->label->setText(text);
    fitHeightToMessage();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void ProgressDialog::fitHeightToMessage()
{
    // The message wraps within the dialog's width, so it only ever changes
    // the height: as many lines as it takes, the form's height for a short one.
    const int height = qMax(formHeight, layout()->totalHeightForWidth(width()));
    if (height != this->height())
        resize(width(), height);
}
