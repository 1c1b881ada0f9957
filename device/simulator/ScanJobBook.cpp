#include "device/simulator/ScanJobBook.h"

#include <QUuid>

ScanJobBook::ScanJobBook(const SimulatorSettings &settings)
    : m_settings(settings), m_record(settings.recordPath),
      m_adfState(settings.sheets > 0 ? QStringLiteral("ScannerAdfLoaded")
                                     : QStringLiteral("ScannerAdfEmpty"))
{
    if (settings.feederState == QLatin1String("jam"))
        m_adfState = QStringLiteral("ScannerAdfJam");
    else if (settings.feederState == QLatin1String("door_open"))
        m_adfState = QStringLiteral("ScannerAdfDoorOpen");
    if (!settings.recordPath.isEmpty())
        m_record.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
}

void ScanJobBook::record(const QString &line)
{
    if (!m_record.isOpen())
        return;
    m_record.write(line.toUtf8() + '\n');
    m_record.flush();
}

QString ScanJobBook::refusal(const EsclXml::ScanSettings &s) const
{
    if (s.inputSource != QLatin1String("Platen") && s.inputSource != QLatin1String("Feeder"))
        return QStringLiteral("input source '%1'").arg(s.inputSource);
    if (s.colorMode != QLatin1String("Grayscale8") && s.colorMode != QLatin1String("RGB24"))
        return QStringLiteral("colour mode '%1'").arg(s.colorMode);
    if (s.xResolution != s.yResolution || !EsclXml::resolutions().contains(s.xResolution))
        return QStringLiteral("resolution %1x%2").arg(s.xResolution).arg(s.yResolution);
    if (!s.documentFormat.isEmpty() && s.documentFormat != QLatin1String("image/jpeg"))
        return QStringLiteral("format '%1'").arg(s.documentFormat);
    if (s.width <= 0 || s.height <= 0 || s.xOffset < 0 || s.yOffset < 0 ||
        s.xOffset + s.width > EsclXml::maxWidth || s.yOffset + s.height > EsclXml::maxHeight)
        return QStringLiteral("region %1,%2 %3x%4")
            .arg(s.xOffset)
            .arg(s.yOffset)
            .arg(s.width)
            .arg(s.height);
    return QString();
}

ScanJobBook::Reply ScanJobBook::create(const QByteArray &scanSettings, const QString &jobsUrl)
{
    QMutexLocker lock(&m_mutex);
    EsclXml::ScanSettings s;
    if (!EsclXml::parseScanSettings(scanSettings, &s)) {
        record(QStringLiteral("refused 400 malformed ScanSettings"));
        return {400, {}};
    }
    if (m_settings.fault == SimulatorSettings::Busy ||
        m_settings.fault == SimulatorSettings::Stopped) {
        record(
            QStringLiteral("refused 503 %1").arg(SimulatorSettings::faultName(m_settings.fault)));
        return {503, {}};
    }
    const QString why = refusal(s);
    if (!why.isEmpty()) {
        record(QStringLiteral("refused 409 %1").arg(why));
        return {409, {}};
    }
    Job job;
    job.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    job.uri = QStringLiteral("/eSCL/ScanJobs/") + job.uuid;
    job.settings = s;
    const bool feeder = s.inputSource == QLatin1String("Feeder");
    job.pages = feeder ? m_settings.sheets * (s.duplex ? 2 : 1) : 1;
    job.age.start();
    m_jobs.insert(job.uuid, job);
    record(QStringLiteral("job %1 source=%2 duplex=%3 mode=%4 resolution=%5 region=%6,%7,%8,%9 "
                          "format=%10")
               .arg(job.uuid, s.inputSource, QString::number(feeder && s.duplex), s.colorMode)
               .arg(s.xResolution)
               .arg(s.xOffset)
               .arg(s.yOffset)
               .arg(s.width)
               .arg(s.height)
               .arg(s.documentFormat.isEmpty() ? QStringLiteral("-") : s.documentFormat));
    return {201, jobsUrl + QLatin1Char('/') + job.uuid};
}

ScanJobBook::Page ScanJobBook::next(const QString &uuid)
{
    QMutexLocker lock(&m_mutex);
    Page page;
    auto it = m_jobs.find(uuid);
    if (it == m_jobs.end() || it->state != QLatin1String("Processing"))
        return page;
    Job &job = *it;
    const bool feeder = job.settings.inputSource == QLatin1String("Feeder");
    const bool feederFault = m_settings.fault == SimulatorSettings::Jam ||
                             m_settings.fault == SimulatorSettings::CoverOpen;
    if (feeder && feederFault && job.served == m_settings.faultAfter && job.served < job.pages) {
        const bool jam = m_settings.fault == SimulatorSettings::Jam;
        m_adfState = jam ? QStringLiteral("ScannerAdfJam") : QStringLiteral("ScannerAdfDoorOpen");
        job.state = QStringLiteral("Aborted");
        job.reason = jam ? QStringLiteral("MediaJam") : QStringLiteral("CoverOpen");
        record(QStringLiteral("refused 503 %1 after %2 pages")
                   .arg(SimulatorSettings::faultName(m_settings.fault))
                   .arg(job.served));
        page.status = 503;
        return page;
    }
    if (job.served >= job.pages) {
        job.state = QStringLiteral("Completed");
        job.reason = QStringLiteral("JobCompletedSuccessfully");
        return page;
    }
    page.status = 200;
    page.settings = job.settings;
    page.number = ++job.served;
    const int sides = feeder && job.settings.duplex ? 2 : 1;
    page.sheet = (page.number - 1) / sides;
    page.side = (page.number - 1) % sides;
    const bool faulty = page.number == m_settings.faultAfter + 1;
    page.cutOff = faulty && m_settings.fault == SimulatorSettings::CutPage;
    page.truncated = faulty && m_settings.fault == SimulatorSettings::TruncatedJpeg;
    if (faulty && (m_settings.body == SimulatorSettings::PageEndless ||
                   m_settings.body == SimulatorSettings::PageTrickle))
        page.body = m_settings.body;
    if (page.cutOff) {
        job.state = QStringLiteral("Aborted");
        job.reason = QStringLiteral("AbortedBySystem");
    }
    record(QStringLiteral("page %1 %2%3")
               .arg(uuid)
               .arg(page.number)
               .arg(page.cutOff ? QStringLiteral(" cut") : QString()));
    return page;
}

void ScanJobBook::sent(const QString &uuid, int number)
{
    QMutexLocker lock(&m_mutex);
    record(QStringLiteral("sent %1 %2").arg(uuid).arg(number));
}

int ScanJobBook::remove(const QString &uuid)
{
    QMutexLocker lock(&m_mutex);
    auto it = m_jobs.find(uuid);
    if (it == m_jobs.end())
        return 404;
    if (it->state == QLatin1String("Processing")) {
        it->state = QStringLiteral("Canceled");
        it->reason = QStringLiteral("JobCanceledByUser");
    }
    record(QStringLiteral("delete %1").arg(uuid));
    return 200;
}

QByteArray ScanJobBook::status()
{
    QMutexLocker lock(&m_mutex);
    QString state = QStringLiteral("Idle");
    if (m_settings.fault == SimulatorSettings::Busy)
        state = QStringLiteral("Processing");
    else if (m_settings.fault == SimulatorSettings::Stopped)
        state = QStringLiteral("Stopped");
    record(QStringLiteral("status %1").arg(state));
    QList<EsclXml::JobInfo> jobs;
    for (const Job &job : qAsConst(m_jobs)) {
        EsclXml::JobInfo info;
        info.uri = job.uri;
        info.uuid = job.uuid;
        info.ageSeconds = int(job.age.elapsed() / 1000);
        info.imagesCompleted = job.served;
        info.imagesToTransfer =
            job.state == QLatin1String("Processing") ? job.pages - job.served : 0;
        info.state = job.state;
        info.reason = job.reason;
        jobs.append(info);
    }
    return EsclXml::status(state, m_adfState, jobs);
}
