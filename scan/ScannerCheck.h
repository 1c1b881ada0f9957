#pragma once

#include <QByteArray>
#include <QString>
#include <QThread>

// "测试连接": asks the scanner at an address for its capabilities (eSCL ScannerCapabilities) in
// a thread of its own, within kTimeoutMs and kMaxBytes, and reports its make and model, or why
// there is none, through Checked. A plain address or host name is asked at the scan program's
// default URL, http://ADDRESS/eSCL.
class ScannerCheck : public QThread
{
    Q_OBJECT

public:
    explicit ScannerCheck(const QString &address, QObject *parent = nullptr);
    ~ScannerCheck() override;

    // The eSCL root URL the check asks; empty for a WSD or SANE device.
    static QString urlFor(const QString &address);
    // pwg:MakeAndModel of a ScannerCapabilities document; empty when it has none.
    static QString makeAndModel(const QByteArray &capabilities);

    static constexpr int kMaxBytes = 512 * 1024;
    static constexpr int kTimeoutMs = 5000;

signals:
    // `ok`: the scanner answered; `text` its make and model, or why not.
    void Checked(bool ok, const QString &text);

protected:
    void run() override;

private:
    const QString m_address;
};
