#pragma once

#include "device/simulator/ScanJobBook.h"

#include <QByteArray>

#include <atomic>
#include <functional>
#include <memory>

namespace httplib {
class Server;
struct Response;
} // namespace httplib

// Serves the eSCL resources of the simulated scanner over HTTP, on 127.0.0.1 only:
//   GET    /eSCL/ScannerCapabilities
//   GET    /eSCL/ScannerStatus
//   POST   /eSCL/ScanJobs                       201 with Location
//   GET    /eSCL/ScanJobs/<uuid>/NextDocument   200 image/jpeg, 404 when no page is left
//   DELETE /eSCL/ScanJobs/<uuid>
class EsclServer
{
public:
    explicit EsclServer(const SimulatorSettings &settings);
    ~EsclServer();

    // Binds 127.0.0.1:`port` (0: a free port the system picks); false when that fails.
    bool bind(int port);
    int port() const { return m_port; }
    // Serves until stop() is called from another thread.
    void serve();
    void stop();

private:
    void addRoutes();
    // A body that never ends: `start`, then blanks.
    void sendEndless(httplib::Response &res, const QByteArray &start, const char *type);
    // `bytes` one at a time, [fault]/trickle_ms apart; `done` once the last one is sent.
    void sendPaced(httplib::Response &res, std::shared_ptr<QByteArray> bytes, const char *type,
                   std::function<void()> done);

    const SimulatorSettings m_settings;
    ScanJobBook m_book;
    std::unique_ptr<httplib::Server> m_server;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
};
