#include "scan/ScannerDiscovery.h"

#include "settings/PrinterAddress.h"

#include <QCoreApplication>

ScannerDiscovery::ScannerDiscovery(QObject *parent)
    : QObject(parent),
      m_program(QCoreApplication::applicationDirPath() + QStringLiteral("/ScanConsoleApp"))
{
    qRegisterMetaType<FoundScanner>();
    qRegisterMetaType<QList<FoundScanner>>();
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        m_late = true;
        m_process.kill();
    });
    connect(&m_process, &QProcess::readyReadStandardOutput, this, [this] {
        m_output += m_process.read(kMaxOutputBytes + 1 - m_output.size());
        if (m_output.size() > kMaxOutputBytes)
            m_process.kill();
    });
    connect(&m_process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            &ScannerDiscovery::onFinished);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            onFinished();
    });
}

ScannerDiscovery::~ScannerDiscovery()
{
    m_process.disconnect(this);
    m_process.kill();
    m_process.waitForFinished(1000);
}

void ScannerDiscovery::search()
{
    if (isSearching())
        return;
    m_output.clear();
    m_late = false;
    // Its error output (sane-airscan's notes) goes where the console's goes.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(m_program, {QStringLiteral("-l")}, QIODevice::ReadOnly);
    m_deadline.start(m_deadlineMs);
}

void ScannerDiscovery::onFinished()
{
    m_deadline.stop();
    QString problem;
    if (m_process.error() == QProcess::FailedToStart)
        problem = tr("The scanner search could not start: %1").arg(m_process.errorString());
    else if (m_late)
        problem =
            tr("The scanner search took longer than %1 s and was stopped").arg(m_deadlineMs / 1000);
    else if (m_output.size() > kMaxOutputBytes)
        problem = tr("The scanner search gave too long a list and was stopped");
    else if (m_process.exitStatus() != QProcess::NormalExit || m_process.exitCode() != 0)
        problem = tr("The scanner search failed (SANE could not start)");
    // A cut-off list still names the scanners of its whole lines.
    const int end = m_output.lastIndexOf('\n');
    emit Finished(parse(m_output.left(end + 1)), problem);
}

QList<FoundScanner> ScannerDiscovery::parse(const QByteArray &output)
{
    QList<FoundScanner> network;
    QList<FoundScanner> local;
    for (const QByteArray &line : output.split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (fields.size() < 5 || fields.at(0).isEmpty())
            continue;
        const QString &saneName = fields.at(0);
        const QString &vendor = fields.at(1);
        const QString &model = fields.at(2);
        const QString &type = fields.at(3);
        const QString &url = fields.at(4);
        FoundScanner found;
        const bool wsd = vendor == QLatin1String("WSD");
        if (saneName.startsWith(QLatin1String("airscan:")) &&
            type.startsWith(QLatin1String("ip="))) {
            // A network scanner: reached at its URL when known, else at its address with the
            // scan program's URL template.
            const QString ip = type.mid(3);
            found.name = model;
            found.kind = wsd ? QStringLiteral("WSD") : QStringLiteral("eSCL");
            found.location = url.isEmpty() ? ip : url;
            found.address = (wsd ? QStringLiteral("wsd:") : QStringLiteral("escl:")) +
                            (url.isEmpty() ? ip : url);
        } else {
            found.name = QStringLiteral("%1 %2").arg(vendor, model).simplified();
            found.kind = QStringLiteral("SANE");
            found.location = saneName;
            found.address = QStringLiteral("sane:") + saneName;
        }
        QString normal;
        if (PrinterAddress::check(found.address, &normal) != PrinterAddress::Ok)
            continue; // an address the scan program would refuse
        found.address = normal;
        (found.kind == QLatin1String("SANE") ? local : network).append(found);
    }
    return network + local;
}
