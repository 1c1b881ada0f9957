#include "tests/support/EsclScannerProcess.h"

#include "tests/support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

EsclScannerProcess::EsclScannerProcess(const QString &settings)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &key : env.keys()) {
        if (key.startsWith(QLatin1String("ESCL_SCANNER_")))
            env.remove(key);
    }
    env.insert(QStringLiteral("ESCL_SCANNER_RECORD"), m_dir.filePath(QStringLiteral("record")));
    for (const QString &pair :
         (QStringLiteral("PAGE_DELAY_MS=20 ") + settings).split(' ', Qt::SkipEmptyParts))
        env.insert(QStringLiteral("ESCL_SCANNER_") + pair.section('=', 0, 0), pair.section('=', 1));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // No ini file: the settings are exactly the defaults and the environment.
    m_process.start(TestEnvironment::appDir() + QStringLiteral("/escl-scanner"),
                    {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--settings"),
                     m_dir.filePath(QStringLiteral("none.ini"))});
    const QRegularExpression listening(
        QStringLiteral("listening on http://127\\.0\\.0\\.1:(\\d+)/"));
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    while (m_port == 0 && clock.elapsed() < 10000 && m_process.waitForReadyRead(10000)) {
        output += m_process.readAllStandardOutput();
        const QRegularExpressionMatch match = listening.match(QString::fromUtf8(output));
        if (match.hasMatch())
            m_port = match.captured(1).toInt();
    }
}

EsclScannerProcess::~EsclScannerProcess()
{
    stop();
}

void EsclScannerProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString EsclScannerProcess::urlTemplate() const
{
    return QStringLiteral("http://%1:") + QString::number(m_port) + QStringLiteral("/eSCL");
}

QStringList EsclScannerProcess::record() const
{
    QFile file(m_dir.filePath(QStringLiteral("record")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

QStringList EsclScannerProcess::record(const QString &kind) const
{
    QStringList lines;
    for (const QString &line : record()) {
        if (line.startsWith(kind + QLatin1Char(' ')))
            lines << line;
    }
    return lines;
}
