#include "scan/DetectThread.h"

#include "scan/ScannerStatusPoll.h"
#include "settings/ParamSetting.h"
#include "settings/PrinterAddress.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QMutexLocker>
#include <QProcess>
#include <QStringList>

DetectThread::DetectThread() : QThread(nullptr), m_finish(false), m_cyclePause(2000) {}

DetectThread::~DetectThread()
{
    // Destroying a running QThread aborts the process; the pause wakes at once, so this waits
    // at most for one ping.
    Finish();
    wait();
}

void DetectThread::Finish()
{
    QMutexLocker locker(&m_pauseMutex);
    m_finish = true;
    m_wake.wakeAll();
}

void DetectThread::setCyclePause(int ms)
{
    m_cyclePause = ms;
}

void DetectThread::setStatusPause(int ms)
{
    m_statusPause = ms;
}

void DetectThread::setPaused(bool paused)
{
    m_paused = paused;
}

void DetectThread::pollNow()
{
    QMutexLocker locker(&m_pauseMutex);
    m_pollNow = true;
    m_wake.wakeAll();
}

void DetectThread::run()
{
    if (m_finish)
        return;
    for (;;) {
        // The scanner dialog may replace the address at any time; copy it under its lock. Only
        // a host is pinged (a URL's scheme, port and path are the scan program's).
        const QString address = ParamSetting::instance.printerAddress();
        const QString esclUrl = PrinterAddress::esclUrl(address);
        int pauseMs = m_cyclePause;
        if (!m_paused) { // a scan is under way: its requests are not crossed
            const int status = poll(address, esclUrl);
            // A poll takes up to seconds: if another scanner was chosen meanwhile, its answer
            // is not shown beside the new scanner's name (the next cycle asks the new one).
            if (address == ParamSetting::instance.printerAddress())
                emit UpdateStatus(status);
        }
        if (!esclUrl.isEmpty())
            pauseMs = qMax(pauseMs, int(m_statusPause));
        pause(pauseMs);
        if (m_finish)
            return;
    }
}

int DetectThread::poll(const QString &address, const QString &esclUrl)
{
    if (!PrinterAddress::device(address).isEmpty())
        return ScannerStatusPoll::LocalDevice;
    if (!esclUrl.isEmpty())
        return ScannerStatusPoll::ask(esclUrl);
    return pingOk(PrinterAddress::host(address)) ? ScannerStatusPoll::Answered
                                                 : ScannerStatusPoll::Unreachable;
}

void DetectThread::pause(int ms)
{
    QMutexLocker locker(&m_pauseMutex);
    QDeadlineTimer deadline(qMax(0, ms));
    // Finish() and pollNow() set their flags under the same lock, so a wake-up cannot be missed.
    while (!m_finish && !m_pollNow && !deadline.hasExpired())
        m_wake.wait(&m_pauseMutex, deadline);
    m_pollNow = false;
}

bool DetectThread::pingOk(QString address)
{
    if (address.isEmpty())
        return false;
    // The address is handed over as one argument; one that begins with "-" would still be read
    // as an option by ping.
    if (address.startsWith(QLatin1Char('-'))) {
        qDebug() << "DetectThread: refusing address" << address;
        return false;
    }

    const QString program = QStringLiteral("ping");
    const QStringList args{QStringLiteral("-s"), QStringLiteral("1"), QStringLiteral("-c"),
                           QStringLiteral("1"), address};

    QProcess process;
    process.start(program, args, QIODevice::ReadWrite);
    process.waitForReadyRead(500);
    process.waitForFinished(500);

    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    const bool ok = output.contains(QLatin1String("TTL"), Qt::CaseInsensitive);
    qDebug() << program + QLatin1Char(' ') + args.join(QLatin1Char(' ')) << output
             << (ok ? "true" : "false");

    // A ping that is still running is stopped and reaped here, so none outlives its cycle.
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(200)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    return ok;
}
