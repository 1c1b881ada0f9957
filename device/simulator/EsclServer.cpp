#include "device/simulator/EsclServer.h"

#include "device/simulator/SimulatedPage.h"

#include <httplib.h>

#include <QThread>

#include <algorithm>
#include <memory>

namespace {

const char kXml[] = "text/xml";

std::string toStd(const QByteArray &bytes)
{
    return std::string(bytes.constData(), size_t(bytes.size()));
}

} // namespace

EsclServer::EsclServer(const SimulatorSettings &settings)
    : m_settings(settings), m_book(settings), m_server(std::make_unique<httplib::Server>())
{
    addRoutes();
}

EsclServer::~EsclServer() = default;

bool EsclServer::bind(int port)
{
    if (port == 0)
        m_port = m_server->bind_to_any_port("127.0.0.1");
    else
        m_port = m_server->bind_to_port("127.0.0.1", port) ? port : -1;
    return m_port > 0;
}

void EsclServer::serve()
{
    m_server->listen_after_bind();
}

void EsclServer::stop()
{
    m_stopping = true;
    m_server->stop();
}

void EsclServer::sendEndless(httplib::Response &res, const QByteArray &start, const char *type)
{
    // The start of a real document, then blanks without end, as fast as the client takes them.
    auto first = std::make_shared<QByteArray>(start);
    res.set_chunked_content_provider(type, [this, first](size_t offset, httplib::DataSink &sink) {
        static const std::string blanks(65536, ' ');
        if (m_stopping)
            return false;
        if (offset == 0 && !first->isEmpty())
            return sink.write(first->constData(), size_t(first->size()));
        return sink.write(blanks.data(), blanks.size());
    });
}

void EsclServer::sendPaced(httplib::Response &res, std::shared_ptr<QByteArray> bytes,
                           const char *type, std::function<void()> done)
{
    const int pause = m_settings.trickleMs;
    res.set_content_provider(
        size_t(bytes->size()), type,
        [this, bytes, pause, done](size_t offset, size_t, httplib::DataSink &sink) {
            // One byte, then a pause that a stop of the server cuts short.
            if (m_stopping || !sink.write(bytes->constData() + offset, 1))
                return false;
            if (offset + 1 == size_t(bytes->size())) {
                if (done)
                    done();
                return true;
            }
            for (int waited = 0; waited < pause && !m_stopping; waited += 10)
                QThread::msleep(ulong(qMin(10, pause - waited)));
            return !m_stopping;
        });
}

void EsclServer::addRoutes()
{
    httplib::Server &server = *m_server;

    server.Get("/eSCL/ScannerCapabilities", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(
            toStd(EsclXml::capabilities(QStringLiteral("Veldrin eSCL Simulator"),
                                        QStringLiteral("6f1c2a3e-0b5d-4c1e-9a57-3e2d1c0b9a87"))),
            kXml);
    });

    server.Get("/eSCL/ScannerStatus", [this](const httplib::Request &, httplib::Response &res) {
        const QByteArray status = m_book.status();
        if (m_settings.body == SimulatorSettings::StatusEndless)
            sendEndless(res, status.left(status.indexOf("<scan:Jobs>")), kXml);
        else if (m_settings.body == SimulatorSettings::StatusTrickle)
            sendPaced(res, std::make_shared<QByteArray>(status), kXml, {});
        else
            res.set_content(toStd(status), kXml);
    });

    server.Post("/eSCL/ScanJobs", [this](const httplib::Request &req, httplib::Response &res) {
        // A hostile scanner may hand out a job on another host; 127.0.0.2 is that host here.
        const QString host = m_settings.fault == SimulatorSettings::ForeignJob
                                 ? QStringLiteral("127.0.0.2")
                                 : QStringLiteral("127.0.0.1");
        const QString jobsUrl = QStringLiteral("http://%1:%2/eSCL/ScanJobs").arg(host).arg(m_port);
        const ScanJobBook::Reply reply =
            m_book.create(QByteArray::fromStdString(req.body), jobsUrl);
        res.status = reply.status;
        if (!reply.location.isEmpty())
            res.set_header("Location", reply.location.toStdString());
    });

    server.Get(R"(/eSCL/ScanJobs/([-0-9a-fA-F]+)/NextDocument)", [this](const httplib::Request &req,
                                                                        httplib::Response &res) {
        const QString uuid = QString::fromStdString(req.matches[1]);
        const ScanJobBook::Page page = m_book.next(uuid);
        res.status = page.status;
        if (page.status != 200)
            return;
        QThread::msleep(ulong(m_settings.pageDelayMs));
        auto bytes = std::make_shared<QByteArray>(
            SimulatedPage::jpeg(page.settings, page.number, page.sheet, page.side));
        if (page.body == SimulatorSettings::PageEndless)
            return sendEndless(res, bytes->left(bytes->size() / 2), "image/jpeg");
        if (page.truncated)
            bytes->truncate(bytes->size() / 2); // ends in the middle of its image data
        const int number = page.number;
        auto done = [this, uuid, number] { m_book.sent(uuid, number); };
        if (page.body == SimulatorSettings::PageTrickle)
            return sendPaced(res, bytes, "image/jpeg", done);
        const size_t whole = size_t(bytes->size());
        // A cut-off page announces its whole length, sends half of it and then
        // breaks the connection, as a scanner does that fails in mid-transfer.
        const size_t sent = page.cutOff ? whole / 2 : whole;
        res.set_content_provider(
            whole, "image/jpeg",
            [bytes, sent, whole, done](size_t offset, size_t length, httplib::DataSink &sink) {
                if (offset >= sent)
                    return false;
                const size_t n = std::min({length, sent - offset, size_t(65536)});
                if (!sink.write(bytes->constData() + offset, n))
                    return false;
                if (offset + n == whole)
                    done();
                return true;
            });
    });

    server.Delete(R"(/eSCL/ScanJobs/([-0-9a-fA-F]+))",
                  [this](const httplib::Request &req, httplib::Response &res) {
                      res.status = m_book.remove(QString::fromStdString(req.matches[1]));
                  });
}
