#pragma once

#include "device/simulator/EsclXml.h"
#include "device/simulator/SimulatorSettings.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QMutex>

// The simulated scanner's jobs: what a new job may ask for, which page comes next, which
// fault shows when, and what the scanner's status says. Every received job, every page handed
// out, every refusal and every deletion is appended to the record file as one line:
//   job <uuid> source=<Platen|Feeder> duplex=<0|1> mode=<ColorMode> resolution=<dpi>
//       region=<x>,<y>,<width>,<height> format=<type>
//   page <uuid> <n>         when page n is handed out (before its transfer)
//   sent <uuid> <n>         when page n's body has been sent completely
//   refused <http status> <why>         delete <uuid>
//   status <pwg:State>      when the status is asked for
// Called from the HTTP server's threads; every member is safe to call concurrently.
class ScanJobBook
{
public:
    struct Reply
    {
        int status = 200;
        QString location; // of a new job
    };
    // The next page of a job, when `status` is 200.
    struct Page
    {
        int status = 404;
        EsclXml::ScanSettings settings;
        int number = 0;         // 1 for the job's first page
        int sheet = 0;          // 0 for the first sheet
        int side = 0;           // 0 front, 1 back
        bool cutOff = false;    // send only part of it, then break the connection
        bool truncated = false; // a JPEG that ends halfway, sent whole
        // How its body goes: normally, endless or one byte at a time.
        SimulatorSettings::Body body = SimulatorSettings::NormalBody;
    };

    explicit ScanJobBook(const SimulatorSettings &settings);

    // A POST to ScanJobs: 201 with the job's location under `jobsUrl`, 503 when busy or
    // stopped, 409 for settings the scanner does not offer, 400 for a malformed document.
    Reply create(const QByteArray &scanSettings, const QString &jobsUrl);
    // A GET of a job's NextDocument: 200 with the page to send, 404 when the job has no more
    // pages (or does not exist), 503 when the feeder jammed or its cover is open.
    Page next(const QString &uuid);
    // Page `number` of the job has been sent completely.
    void sent(const QString &uuid, int number);
    // A DELETE of a job: 200, or 404 for an unknown job.
    int remove(const QString &uuid);
    QByteArray status();

private:
    struct Job
    {
        QString uuid;
        QString uri;
        EsclXml::ScanSettings settings;
        int pages = 0;  // pages the job will deliver
        int served = 0; // pages handed out so far
        QString state = QStringLiteral("Processing");
        QString reason = QStringLiteral("JobScanning");
        QElapsedTimer age;
    };

    void record(const QString &line);
    QString refusal(const EsclXml::ScanSettings &s) const;

    const SimulatorSettings m_settings;
    QMutex m_mutex;
    QFile m_record;
    QMap<QString, Job> m_jobs;
    QString m_adfState;
};
