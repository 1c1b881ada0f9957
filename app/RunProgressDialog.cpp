#include "app/RunProgressDialog.h"

#include "app/RunReport.h"

#include <QCloseEvent>
#include <QPushButton>

RunProgressDialog::RunProgressDialog(QWidget *parent)
    : QProgressDialog(parent), m_cancelButton(nullptr), m_state(tr("Scanning...")), m_pages(0)
{
    setObjectName(QStringLiteral("progressDialog"));
    setWindowModality(Qt::WindowModal);
    setWindowTitle(tr("Please wait"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setAutoReset(false);
    setAutoClose(false);
    setMinimumDuration(0);
    // A busy bar: how many pages the feeder holds is not known.
    setRange(0, 0);
    // The dialog's own button: each button set brings an Escape shortcut of its own, and with
    // two of them Escape does nothing at all.
    setCancelButtonText(tr("Cancel"));
    m_cancelButton = findChild<QPushButton *>();
    m_cancelButton->setObjectName(QStringLiteral("btn_cancelScan"));
    // Cancel asks; the dialog stays until the run has ended (the base class would hide it).
    // The base class made that connection by name, so only a disconnection by name undoes it.
    disconnect(this, SIGNAL(canceled()), this, SLOT(cancel()));
    showState();
}

void RunProgressDialog::setPagesScanned(int pages)
{
    m_pages = pages;
    showState();
}

void RunProgressDialog::setCancelling()
{
    m_state = tr("Cancelling...");
    m_cancelButton->setEnabled(false);
    showState();
}

void RunProgressDialog::setFinishing()
{
    m_cancelButton->setEnabled(false);
}

void RunProgressDialog::showState()
{
    setLabelText(m_state + QLatin1Char('\n') + RunReport::pagesScannedText(m_pages));
}

void RunProgressDialog::reject()
{
    emit canceled();
}

void RunProgressDialog::closeEvent(QCloseEvent *event)
{
    event->ignore();
    emit canceled();
}
