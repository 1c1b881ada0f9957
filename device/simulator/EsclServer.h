#pragma once

#include "device/simulator/ScanJobBook.h"

#include <memory>

namespace httplib {
class Server;
}

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

    const SimulatorSettings m_settings;
    ScanJobBook m_book;
    std::unique_ptr<httplib::Server> m_server;
    int m_port = 0;
};
