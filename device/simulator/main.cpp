// escl-scanner: a simulated network scanner speaking eSCL (AirScan) over HTTP on 127.0.0.1, for
// the demo and the tests. It draws document-like pages at the requested region, resolution and
// colour mode, and can be told to be busy, stopped, empty, jammed or to cut a page off, and to
// behave as a hostile device would (endless or trickling bodies, a broken JPEG sent whole, a
// job on another host).
//
//   escl-scanner --port PORT [--settings FILE]
//
// PORT 0 lets the system pick a free port. Once it listens it prints
// "escl-scanner: listening on http://127.0.0.1:PORT/eSCL" on standard output. SIGTERM or
// SIGINT stop it, and so does the end of the process that started it. Its settings come from
// FILE (default: escl-scanner.ini beside the program), each key overridden by an environment
// variable:
//   [feeder]/sheets          ESCL_SCANNER_SHEETS          sheets in the feeder for every feeder
//                                                         job (default 3; 0: the feeder is empty;
//                                                         up to 1000000, a feeder without end)
//   [feeder]/state           ESCL_SCANNER_FEEDER_STATE    jam or door_open: the feeder's state
//                                                         in ScannerStatus before any job
//   [feeder]/page_delay_ms   ESCL_SCANNER_PAGE_DELAY_MS   time per page (default 500)
//   [fault]/kind             ESCL_SCANNER_FAULT           none, busy, stopped, jam, cover_open,
//   cut,
//                                                         truncated_jpeg, foreign_job
//   [fault]/after_pages      ESCL_SCANNER_FAULT_AFTER     pages of a job before a page fault
//                                                         strikes (default 0)
//   [fault]/body             ESCL_SCANNER_BODY            none, status_endless, status_trickle,
//                                                         page_endless, page_trickle
//   [fault]/trickle_ms       ESCL_SCANNER_TRICKLE_MS      pause after each byte of a trickling
//                                                         body (default 1000)
//   [record]/file            ESCL_SCANNER_RECORD          file that gets one line per job, page
//                                                         handed out, page sent whole, refusal
//                                                         and deletion
#include "device/common/IniEnvSettings.h"
#include "device/common/ScanCommandLine.h"
#include "device/simulator/EsclServer.h"

#include <QCoreApplication>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <sys/prctl.h>
#include <thread>

namespace {

const char kProgram[] = "escl-scanner";

int usage(const QString &problem)
{
    std::fprintf(stderr, "%s: %s\nusage: %s --port PORT [--settings FILE]\n", kProgram,
                 qPrintable(problem), kProgram);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    // Block the stop signals before any thread exists, so that only the waiting thread below
    // takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // It also stops when whoever started it ends (a test killed on its time-out, the demo's
    // script), so it never outlives them.
    prctl(PR_SET_PDEATHSIG, SIGTERM);

    const QStringList args = ScanCommandLine::arguments(argc, argv);
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);

    int port = -1;
    QString settingsPath =
        QCoreApplication::applicationDirPath() + QStringLiteral("/escl-scanner.ini");
    for (int i = 1; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return usage(args.at(i) + QStringLiteral(" needs a value"));
        bool ok = true;
        if (args.at(i) == QLatin1String("--port"))
            port = args.at(i + 1).toInt(&ok);
        else if (args.at(i) == QLatin1String("--settings"))
            settingsPath = args.at(i + 1);
        else
            return usage(QStringLiteral("unknown option ") + args.at(i));
        if (!ok || port > 65535)
            return usage(QStringLiteral("bad port ") + args.at(i + 1));
    }
    if (port < 0)
        return usage(QStringLiteral("no port"));

    QString error;
    const SimulatorSettings settings = SimulatorSettings::read(
        IniEnvSettings(settingsPath, QString::fromLatin1(kProgram)), &error);
    if (!error.isEmpty())
        return usage(error);

    EsclServer server(settings);
    if (!server.bind(port)) {
        std::fprintf(stderr, "%s: cannot listen on 127.0.0.1:%d\n", kProgram, port);
        return 1;
    }
    std::thread stopper([&server, &stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    });
    std::printf("%s: listening on http://127.0.0.1:%d/eSCL (feeder %d sheets, fault %s, body %s)\n",
                kProgram, server.port(), settings.sheets,
                qPrintable(SimulatorSettings::faultName(settings.fault)),
                qPrintable(SimulatorSettings::bodyName(settings.body)));
    std::fflush(stdout);
    server.serve();
    // serve() also ends when listening fails; the waiting thread then still needs its signal.
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    return 0;
}
