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
    m_server->stop();
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
        res.set_content(toStd(m_book.status()), kXml);
    });

    server.Post("/eSCL/ScanJobs", [this](const httplib::Request &req, httplib::Response &res) {
        const QString jobsUrl = QStringLiteral("http://127.0.0.1:%1/eSCL/ScanJobs").arg(m_port);
        const ScanJobBook::Reply reply =
            m_book.create(QByteArray::fromStdString(req.body), jobsUrl);
        res.status = reply.status;
        if (!reply.location.isEmpty())
            res.set_header("Location", reply.location.toStdString());
    });

    server.Get(R"(/eSCL/ScanJobs/([-0-9a-fA-F]+)/NextDocument)", [this](const httplib::Request &req,
                                                                        httplib::Response &res) {
        const ScanJobBook::Page page = m_book.next(QString::fromStdString(req.matches[1]));
        res.status = page.status;
        if (page.status != 200)
            return;
        QThread::msleep(ulong(m_settings.pageDelayMs));
        auto bytes = std::make_shared<QByteArray>(
            SimulatedPage::jpeg(page.settings, page.number, page.sheet, page.side));
        const size_t whole = size_t(bytes->size());
        // A cut-off page announces its whole length, sends half of it and then
        // breaks the connection, as a scanner does that fails in mid-transfer.
        const size_t sent = page.cutOff ? whole / 2 : whole;
        res.set_content_provider(
            whole, "image/jpeg",
            [bytes, sent](size_t offset, size_t length, httplib::DataSink &sink) {
                if (offset >= sent)
                    return false;
                const size_t n = std::min({length, sent - offset, size_t(65536)});
                sink.write(bytes->constData() + offset, n);
                return true;
            });
    });

    server.Delete(R"(/eSCL/ScanJobs/([-0-9a-fA-F]+))",
                  [this](const httplib::Request &req, httplib::Response &res) {
                      res.status = m_book.remove(QString::fromStdString(req.matches[1]));
                  });
}
