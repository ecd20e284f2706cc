#include "progressdialog.h"
#include "ui_progressdialog.h"

#include "onscreen.h"

#include <QCoreApplication>
#include <QLayout>
#include <QPushButton>
#include <QTextDocument>

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
    // The form keeps an Ok button wired to accept(); the user only ever sees
    // Cancel. Left to itself, QDialog would give the focus to the default
    // button, the hidden Ok, and a screen reader would announce it.
    ui->buttonBox->button(QDialogButtonBox::Ok)->setVisible(false);
    QPushButton *cancel = ui->buttonBox->button(QDialogButtonBox::Cancel);
    cancel->setDefault(true);
    cancel->setFocus();
    // The label's name stays the message while dots come and go: QLabel
    // tells assistive technology of each new text only while it has none.
    ui->label->setAccessibleName(ui->label->text());
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
    ui->label->setAccessibleName(message);
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
    // the height: as many lines as it takes, the form's height for a short
    // one, and no more than the screen holds, so that Cancel stays on it.
    const int wanted = layout()->totalHeightForWidth(width());
    const int needed = qMax(formHeight, wanted);
    if (needed != height())
        resizeWithinScreen(this, QSize(width(), needed));
    // The label cuts what does not fit; the tool tip and the description
    // keep the whole message readable.
    const QString whole = wanted > height() ? lastMessage : QString();
    if (ui->label->accessibleDescription() != whole) {
        ui->label->setAccessibleDescription(whole);
        ui->label->setToolTip(whole.isEmpty() ? whole : Qt::convertFromPlainText(whole, Qt::WhiteSpaceNormal));
    }
}
