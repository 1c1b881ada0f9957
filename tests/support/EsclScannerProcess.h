#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// The simulated network scanner escl-scanner from the test's application directory, running on
// a free port of 127.0.0.1 for as long as this object lives.
class EsclScannerProcess
{
public:
    // `settings`: "NAME=value ..." for its ESCL_SCANNER_NAME environment variables, for example
    // "SHEETS=2 FAULT=jam FAULT_AFTER=1". Pages take 20 ms unless PAGE_DELAY_MS says otherwise.
    explicit EsclScannerProcess(const QString &settings = QString());
    ~EsclScannerProcess();

    // Whether it started and listens; then port() is its port.
    bool isListening() const { return m_port > 0; }
    int port() const { return m_port; }
    // The scan program's device URL template for it: "http://%1:PORT/eSCL".
    QString urlTemplate() const;
    // The lines of its job record so far (see ScanJobBook).
    QStringList record() const;
    // The record's lines that start with `kind` ("job", "page", "refused", "delete").
    QStringList record(const QString &kind) const;
    void stop();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};
