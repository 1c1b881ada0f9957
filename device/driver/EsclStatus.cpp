#include "device/driver/EsclStatus.h"

#include <httplib.h>

#include <QUrl>
#include <QXmlStreamReader>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

QString EsclStatus::stateOf(const QByteArray &scannerStatus)
{
    QXmlStreamReader reader(scannerStatus);
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("ScannerStatus"))
        return QString();
    // Only the scanner's own State, not the states of the jobs listed further down.
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("State"))
            return reader.readElementText().trimmed();
        reader.skipCurrentElement();
    }
    return QString();
}

bool EsclStatus::stopped(const QString &state)
{
    return state.compare(QLatin1String("Stopped"), Qt::CaseInsensitive) == 0 ||
           state.compare(QLatin1String("Down"), Qt::CaseInsensitive) == 0;
}

QString EsclStatus::ask(const QString &esclUrl, int timeoutS, const std::function<bool()> &stop)
{
    const QUrl url(esclUrl);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return QString();
    const bool https = url.scheme() == QLatin1String("https");
    const QString origin =
        QStringLiteral("%1://%2:%3").arg(url.scheme(), url.host()).arg(url.port(https ? 443 : 80));
    httplib::Client client(origin.toStdString());
    client.set_connection_timeout(timeoutS, 0);
    client.set_read_timeout(timeoutS, 0);
    client.set_write_timeout(timeoutS, 0);
    // Scanners carry self-signed certificates; the scan itself does not check them either.
    client.enable_server_certificate_verification(false);
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);

    // The socket time-outs bound each wait, not the whole answer (a body may trickle in byte by
    // byte): a watcher ends the request at the deadline or on a stop request.
    std::mutex mutex;
    std::condition_variable wake;
    bool done = false;
    std::thread watcher([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutS);
        std::unique_lock<std::mutex> lock(mutex);
        while (!done) {
            if (std::chrono::steady_clock::now() >= deadline || stop())
                client.stop(); // again each round: the request may not have had a socket yet
            wake.wait_for(lock, std::chrono::milliseconds(50));
        }
    });
    std::string body;
    bool tooLong = false;
    const httplib::Result result =
        client.Get((path + QStringLiteral("/ScannerStatus")).toStdString(),
                   [&](const char *data, size_t length) {
                       tooLong = body.size() + length > size_t(kMaxBody);
                       if (!tooLong)
                           body.append(data, length);
                       return !tooLong;
                   });
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    wake.notify_all();
    watcher.join();
    if (!result || result->status != 200 || tooLong)
        return QString();
    return stateOf(QByteArray::fromStdString(body));
}
