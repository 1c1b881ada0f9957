#include "app/ScannerStatusBar.h"

#include "app/ScannerDialog.h"
#include "scan/ScannerStatusPoll.h"
#include "settings/ParamSetting.h"
#include "settings/PrinterAddress.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QToolButton>

ScannerStatusBar::ScannerStatusBar(QMainWindow *window, QMenu *fileMenu, QAction *before)
    : QObject(window), m_window(window)
{
    m_button = new QToolButton(window);
    m_button->setObjectName(QStringLiteral("btn_scanner"));
    m_button->setAutoRaise(true);
    m_button->setToolTip(tr("Choose scanner..."));
    m_label = new QLabel(window);
    m_label->setObjectName(QStringLiteral("label_status"));
    // No taller than the label: the status bar keeps its height and the window its layout.
    m_button->setMaximumHeight(m_label->sizeHint().height());
    window->statusBar()->addPermanentWidget(m_button, 0);
    window->statusBar()->addPermanentWidget(m_label, 0);
    m_action = new QAction(tr("Choose scanner..."), window);
    m_action->setObjectName(QStringLiteral("action_chooseScanner"));
    fileMenu->insertAction(before, m_action);
    fileMenu->insertSeparator(before);
    connect(m_action, &QAction::triggered, this, &ScannerStatusBar::chooseScanner);
    connect(m_button, &QToolButton::clicked, this, &ScannerStatusBar::chooseScanner);
    showScanner();
    showStatus(ScannerStatusPoll::Unreachable);
}

QString ScannerStatusBar::scannerName(const QString &name, const QString &address)
{
    if (!name.isEmpty())
        return name;
    const QString protocol = PrinterAddress::protocol(address);
    if (!protocol.isEmpty())
        return address.mid(protocol.size() + 1);
    const QString device = PrinterAddress::device(address);
    return device.isEmpty() ? address : device;
}

QString ScannerStatusBar::statusText(int status, const QString &address)
{
    switch (status) {
    case ScannerStatusPoll::Answered:
        return tr("Success");
    case ScannerStatusPoll::Unreachable:
        return PrinterAddress::esclUrl(address).isEmpty()
                   ? tr("Failed")
                   : tr("Cannot connect to the scanner %1").arg(scannerName(QString(), address));
    case ScannerStatusPoll::Ready:
        return tr("Scanner ready");
    case ScannerStatusPoll::Busy:
        return tr("Scanner busy");
    case ScannerStatusPoll::Stopped:
        return tr("Scan service stopped");
    case ScannerStatusPoll::FeederEmpty:
        return tr("Feeder empty");
    case ScannerStatusPoll::Jam:
        return tr("Paper jam");
    case ScannerStatusPoll::CoverOpen:
        return tr("Cover open");
    case ScannerStatusPoll::LocalDevice:
        return tr("Scanner on this computer");
    default:
        return tr("Failed");
    }
}

void ScannerStatusBar::showStatus(int status)
{
    if (status == m_status)
        return;
    m_status = status;
    m_label->setText(statusText(status, ParamSetting::instance.printerAddress()));
}

void ScannerStatusBar::showScanner()
{
    const ParamSetting &p = ParamSetting::instance;
    m_button->setText(scannerName(p.printer_name, p.printerAddress()));
}

void ScannerStatusBar::setEnabled(bool enabled)
{
    m_button->setEnabled(enabled);
    m_action->setEnabled(enabled);
}

void ScannerStatusBar::chooseScanner()
{
    if (!ScannerDialog::choose(nullptr))
        return;
    showScanner();
    // The old scanner's status does not hold for the new one; the monitor's next cycle tells.
    m_status = -1;
    m_label->clear();
    emit scannerChosen();
}
