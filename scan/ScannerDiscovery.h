#pragma once

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

// One scanner SANE found.
struct FoundScanner
{
    QString name;     // as shown: the network name, or vendor and model of a local device
    QString kind;     // "eSCL", "WSD" or "SANE"
    QString location; // the network address (and URL), or the SANE device name
    QString address;  // what the console stores to scan with it (see PrinterAddress)
};
Q_DECLARE_METATYPE(FoundScanner)

// Lists the scanners SANE finds: network scanners through sane-airscan's discovery (and its
// configured [devices]), and local SANE devices. sane_get_devices may block for a long time on
// a network, so the listing runs in a helper process, the scan program's "-l", which is ended
// at the deadline; its output is read up to a bound. The answer arrives through Finished.
class ScannerDiscovery : public QObject
{
    Q_OBJECT

public:
    explicit ScannerDiscovery(QObject *parent = nullptr);
    ~ScannerDiscovery() override;

    // The lister, by default the scan program in the application directory.
    void setProgram(const QString &program) { m_program = program; }
    void setDeadline(int ms) { m_deadlineMs = ms; }
    bool isSearching() const { return m_process.state() != QProcess::NotRunning; }

    // Starts a search; nothing happens while one is under way.
    void search();

    // The scanners of the lister's output (see DeviceList), local devices after network ones.
    static QList<FoundScanner> parse(const QByteArray &output);

    static constexpr int kMaxOutputBytes = 1024 * 1024;
    static constexpr int kDefaultDeadlineMs = 30000;

signals:
    // The scanners found; `problem` says why the search failed or ended early (empty when not).
    void Finished(const QList<FoundScanner> &scanners, const QString &problem);

private:
    void onFinished();

    QString m_program;
    int m_deadlineMs = kDefaultDeadlineMs;
    QProcess m_process;
    QTimer m_deadline;
    QByteArray m_output;
    bool m_late = false;
};
