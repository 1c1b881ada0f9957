#include "device/driver/ScanDriver.h"

#include "device/common/EsclScannerStatus.h"
#include "device/common/IniEnvSettings.h"
#include "device/common/ResultCode.h"
#include "device/driver/BackendHooks.h"
#include "device/driver/PageAssembler.h"
#include "device/driver/SaneConfigDir.h"

#include <sane/saneopts.h>

#include <QDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Standard error is shared with the guard's thread, which may end the process: the one line
// naming the result is said once, whoever says it.
std::mutex g_sayMutex;
bool g_resultSaid = false;
int g_result = 0;

void sayLocked(const QString &text)
{
    std::fprintf(stderr, "ScanConsoleApp: %s\n", qPrintable(text));
    std::fflush(stderr);
}

void say(const QString &text)
{
    std::lock_guard<std::mutex> lock(g_sayMutex);
    sayLocked(text);
}

// How long closing the SANE session may take (sane-airscan deletes the job on the scanner).
constexpr int kCloseS = 3;

QString statusText(SANE_Status status)
{
    return QString::fromLocal8Bit(sane_strstatus(status));
}

// The scan area: the whole A4 sheet, in millimetres.
constexpr double kA4WidthMm = 210.0;
constexpr double kA4HeightMm = 297.0;

} // namespace

ScanDriver::ScanDriver(const QString &settingsPath) : m_settingsPath(settingsPath) {}

ScanDriver::~ScanDriver() = default;

int ScanDriver::fail(int code, const QString &cause)
{
    std::lock_guard<std::mutex> lock(g_sayMutex);
    sayLocked(cause);
    g_resultSaid = true;
    g_result = code;
    return code;
}

void ScanDriver::removeConfigDir()
{
    if (m_configDir)
        QDir(m_configDir->path()).removeRecursively();
}

QString ScanDriver::reasonText(ScanGuard::Reason reason) const
{
    switch (reason) {
    case ScanGuard::Stalled:
        return QStringLiteral("page %1 made no progress for %2 s and was abandoned; %3 page(s) "
                              "written")
            .arg(m_pagesWritten + 1)
            .arg(m_settings.timeoutS)
            .arg(m_pagesWritten);
    case ScanGuard::Memory:
        return QStringLiteral("the scanner sent more than the program may hold (%1 MB); the job "
                              "was cancelled, %2 page(s) written")
            .arg(m_memoryBoundMb)
            .arg(m_pagesWritten);
    case ScanGuard::ForeignHost:
        return QStringLiteral("the scanner sent the job to another host (%1); it was not "
                              "followed")
            .arg(BackendHooks::refused());
    default:
        return QStringLiteral("stopped by a signal; %1 page(s) written").arg(m_pagesWritten);
    }
}

int ScanDriver::guardFailure()
{
    if (!BackendHooks::refused().isEmpty())
        return fail(ResultInternalError, reasonText(ScanGuard::ForeignHost));
    const ScanGuard::Reason reason = m_guard ? m_guard->reason() : ScanGuard::None;
    if (reason == ScanGuard::None)
        return -1;
    if (reason == ScanGuard::Stop)
        return interrupted();
    return fail(reason == ScanGuard::Stalled ? ResultReceiveError : ResultInternalError,
                reasonText(reason));
}

int ScanDriver::interrupted()
{
    m_device.cancel(); // sane-airscan deletes the job on the device
    return fail(ResultInterrupted, reasonText(ScanGuard::Stop));
}

void ScanDriver::giveUp(ScanGuard::Reason reason)
{
    g_sayMutex.lock(); // held until the end: nothing else is said
    int code = g_result;
    if (!g_resultSaid) {
        code = reason == ScanGuard::Stop      ? ResultInterrupted
               : reason == ScanGuard::Stalled ? ResultReceiveError
                                              : ResultInternalError;
        sayLocked(reasonText(reason) + QStringLiteral(" (the scanner's driver did not return)"));
    }
    removeConfigDir();
    ::_exit(code);
}

int ScanDriver::finish(int code)
{
    if (m_guard)
        m_guard->retire();
    Watchdog watchdog(kCloseS, [this, code] {
        removeConfigDir();
        ::_exit(code);
    });
    m_device.end();
    return code;
}

void ScanDriver::onStopSignal()
{
    std::lock_guard<std::mutex> lock(m_phaseMutex);
    if (m_opening) {
        // sane_open cannot be interrupted, and no job or page exists yet.
        say(QStringLiteral("stopped by a signal while opening the device"));
        removeConfigDir();
        ::_exit(ResultInterrupted);
    }
    m_guard->requestStop();
}

int ScanDriver::run(const QStringList &arguments)
{
    QString error;
    if (ScanCommandLine::parse(arguments, &m_request, &error) != ResultSuccess)
        return fail(ResultParameterError, error);
    if (!DriverSettings::read(IniEnvSettings(m_settingsPath, QStringLiteral("ScanConsoleApp")),
                              &m_settings, &error))
        return fail(ResultParameterError, error);
    if (m_settings.saneDevice.isEmpty() && m_request.address.isEmpty())
        return fail(ResultUnreachable, QStringLiteral("no scanner address (-p)"));
    if (!DeviceTarget::make(m_settings, m_request.address, &m_target, &error))
        return fail(ResultParameterError, error);

    m_writer = std::make_unique<PageFileWriter>(m_request.outputPath);
    m_writer->setKeepFree(qint64(m_settings.minFreeMb) << 20);
    if (!m_writer->prepare(&error))
        return fail(ResultWriteError, error);

    if (m_target.byAddress()) {
        m_configDir = std::make_unique<SaneConfigDir>();
        if (!m_configDir->create(&error))
            return fail(ResultInternalError, error);
    }
    // The bound leaves room for one page at the requested resolution (raw, assembled and
    // encoded), so that it stops a runaway backend and never a large page.
    const qint64 onePage =
        qint64(kA4WidthMm / 25.4 * m_request.dpi) * qint64(kA4HeightMm / 25.4 * m_request.dpi) * 4;
    m_memoryBoundMb = qMax(qint64(m_settings.maxMemoryMb), (onePage * 3 >> 20) + 256);
    ScanGuard::Limits limits;
    limits.timeoutMs = qint64(m_settings.timeoutS) * 1000;
    limits.maxMemoryBytes = m_memoryBoundMb << 20;
    m_guard = std::make_unique<ScanGuard>(
        limits, [this] { m_device.cancel(); }, [this](ScanGuard::Reason r) { giveUp(r); });
    m_stop.watch([this] { onStopSignal(); });
    if (m_stop.requested())
        return interrupted();
    m_guard->start();

    const SANE_Status status = m_device.init();
    if (status != SANE_STATUS_GOOD)
        return finish(fail(ResultInternalError,
                           QStringLiteral("cannot start SANE: %1").arg(statusText(status))));
    int code = openDevice();
    if (code == ResultSuccess)
        code = configure();
    if (code == ResultSuccess)
        code = scanPages();
    return finish(code);
}

int ScanDriver::fenceToScanner()
{
    if (!m_target.byAddress())
        return ResultSuccess;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const int error = getaddrinfo(m_target.host().toUtf8().constData(), nullptr, &hints, &found);
    if (error != 0)
        return fail(ResultUnreachable,
                    QStringLiteral("the scanner %1 cannot be reached: %2")
                        .arg(m_target.host(), QString::fromLocal8Bit(gai_strerror(error))));
    QStringList addresses;
    for (const addrinfo *a = found; a; a = a->ai_next) {
        char text[NI_MAXHOST] = {};
        if (getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) ==
            0)
            addresses << QString::fromLatin1(text);
    }
    freeaddrinfo(found);
    BackendHooks::fenceTo(addresses);
    return ResultSuccess;
}

int ScanDriver::openDevice()
{
    {
        std::lock_guard<std::mutex> lock(m_phaseMutex);
        if (m_stop.requested())
            return interrupted();
        m_opening = true;
    }
    SANE_Status status = SANE_STATUS_GOOD;
    int fenced = ResultSuccess;
    {
        const int timeout = m_settings.timeoutS;
        const QString name = m_target.saneName();
        Watchdog watchdog(timeout, [this, timeout, name] {
            say(QStringLiteral("the scanner %1 cannot be reached: no answer within %2 s")
                    .arg(name)
                    .arg(timeout));
            removeConfigDir();
            ::_exit(ResultUnreachable);
        });
        fenced = fenceToScanner();
        if (fenced == ResultSuccess)
            status = m_device.open(m_target.saneName());
    }
    {
        std::lock_guard<std::mutex> lock(m_phaseMutex);
        m_opening = false;
    }
    if (fenced != ResultSuccess)
        return fenced;
    if (m_stop.requested())
        return interrupted();
    if (status != SANE_STATUS_GOOD)
        return scanFailure(
            status, SaneResult::Opening,
            QStringLiteral("the scanner %1 cannot be opened").arg(m_target.saneName()));
    return ResultSuccess;
}

int ScanDriver::setOffered(int option, const QString &what,
                           const std::function<QString(const QStringList &)> &choose)
{
    const QStringList offered = m_device.strings(option);
    const QString value = choose(offered);
    if (value.isEmpty())
        return fail(ResultParameterError, QStringLiteral("the scanner offers no %1 (it has: %2)")
                                              .arg(what, offered.join(QStringLiteral(", "))));
    const SANE_Status status = m_device.setString(option, value);
    if (status != SANE_STATUS_GOOD)
        return scanFailure(status, SaneResult::Configuring,
                           QStringLiteral("the scanner refused '%1'").arg(value));
    return ResultSuccess;
}

int ScanDriver::configure()
{
    const int source = m_device.find(SANE_NAME_SCAN_SOURCE);
    int code = ResultSuccess;
    if (source > 0)
        code = setOffered(source, QStringLiteral("source for -s %1").arg(m_request.source),
                          [this](const QStringList &offered) {
                              return OptionChoice::source(offered, m_request.source);
                          });
    else if (m_request.source != ScanRequest::Flatbed)
        code = fail(ResultParameterError,
                    QStringLiteral("the scanner has no document feeder (no source option)"));
    const int mode = m_device.find(SANE_NAME_SCAN_MODE);
    if (code == ResultSuccess && mode > 0)
        code = setOffered(mode, QStringLiteral("mode for -c %1").arg(m_request.colour),
                          [this](const QStringList &offered) {
                              return OptionChoice::mode(offered, m_request.colour);
                          });
    if (code != ResultSuccess)
        return code;

    m_dpi = m_request.dpi;
    const int resolution = m_device.find(SANE_NAME_SCAN_RESOLUTION);
    if (resolution > 0) {
        const double value = OptionChoice::nearest(m_device.numbers(resolution), m_request.dpi);
        const SANE_Status status = m_device.setNumber(resolution, value);
        if (status != SANE_STATUS_GOOD)
            return scanFailure(status, SaneResult::Configuring,
                               QStringLiteral("the scanner refused %1 dpi").arg(value));
        m_dpi = m_device.number(resolution);
        if (std::lround(m_dpi) != m_request.dpi)
            say(QStringLiteral("the scanner does not offer %1 dpi; scanning at %2 dpi")
                    .arg(m_request.dpi)
                    .arg(m_dpi));
    }
    return setArea();
}

int ScanDriver::setArea()
{
    // The paper asked for (A4 when none) from the top left corner, as SANE's geometry goes; top
    // left first, so that the bottom right is never asked to lie before it.
    const QSizeF paper =
        m_request.areaMm.isEmpty() ? QSizeF(kA4WidthMm, kA4HeightMm) : m_request.areaMm;
    double maxMm[2] = {0, 0}; // the farthest bottom right corner the scanner offers
    const struct
    {
        const char *name;
        double mm;
        double *max;
    } corners[] = {{SANE_NAME_SCAN_TL_X, 0, nullptr},
                   {SANE_NAME_SCAN_TL_Y, 0, nullptr},
                   {SANE_NAME_SCAN_BR_X, paper.width(), &maxMm[0]},
                   {SANE_NAME_SCAN_BR_Y, paper.height(), &maxMm[1]}};
    for (const auto &corner : corners) {
        const int option = m_device.find(corner.name);
        if (option <= 0)
            continue;
        double perMm = 1;
        if (m_device.unit(option) == SANE_UNIT_PIXEL)
            perMm = m_dpi / 25.4;
        else if (m_device.unit(option) != SANE_UNIT_MM)
            continue;
        // Limited to what the device offers: a smaller scanner scans what it can.
        const OptionChoice::Numbers offered = m_device.numbers(option);
        if (corner.max && (offered.range || !offered.list.isEmpty()))
            *corner.max =
                (offered.range ? offered.max
                               : *std::max_element(offered.list.begin(), offered.list.end())) /
                perMm;
        const double value = OptionChoice::nearest(offered, corner.mm * perMm);
        const SANE_Status status = m_device.setNumber(option, value);
        if (status != SANE_STATUS_GOOD)
            return scanFailure(
                status, SaneResult::Configuring,
                QStringLiteral("the scanner refused %1 = %2").arg(corner.name).arg(value));
    }
    const bool known = maxMm[0] > 0 && maxMm[1] > 0 && maxMm[0] < 10000 && maxMm[1] < 10000;
    if (known && !m_request.areaMm.isEmpty() &&
        (paper.width() > maxMm[0] + 0.5 || paper.height() > maxMm[1] + 0.5))
        say(QStringLiteral("the scanner scans at most %1 x %2 mm; scanning %3 x %4 mm")
                .arg(maxMm[0], 0, 'f', 1)
                .arg(maxMm[1], 0, 'f', 1)
                .arg(qMin(paper.width(), maxMm[0]), 0, 'f', 1)
                .arg(qMin(paper.height(), maxMm[1]), 0, 'f', 1));
    // What the console tells the operator: the resolution and the scanner's largest area.
    QByteArray note = "dpi=" + QByteArray::number(int(std::lround(m_dpi))) + '\n';
    if (known)
        note += "max_area_mm=" + QByteArray::number(maxMm[0], 'f', 1) + 'x' +
                QByteArray::number(maxMm[1], 'f', 1) + '\n';
    QString error;
    m_writer->writeNote(note, &error); // without it the scan goes on, unremarked
    return ResultSuccess;
}

bool ScanDriver::takesPages() const
{
    // After a stop the pages the backend holds are still taken; after any other end none.
    const ScanGuard::Reason reason = m_guard->reason();
    return reason == ScanGuard::None || reason == ScanGuard::Stop;
}

SANE_Status ScanDriver::start()
{
    if (!takesPages())
        return SANE_STATUS_CANCELLED; // the guard has ended the job
    m_guard->enterCall();
    const SANE_Status status = m_device.start();
    m_guard->leaveCall(status == SANE_STATUS_GOOD);
    return status;
}

SANE_Status ScanDriver::read(QByteArray *buffer)
{
    if (!takesPages())
        return SANE_STATUS_CANCELLED;
    m_guard->enterCall();
    const SANE_Status status = m_device.read(buffer);
    m_guard->leaveCall(status == SANE_STATUS_GOOD && !buffer->isEmpty());
    return status;
}

int ScanDriver::scanPages()
{
    const bool feeder = m_request.source != ScanRequest::Flatbed;
    if (m_stop.requested())
        return interrupted(); // before any job exists
    // After a stop request the loop goes on: the guard cancels the job once no page is coming,
    // so the page in hand and those the backend already holds are written.
    for (;;) {
        // The console waits a few seconds for the program after its stop, then kills it.
        if (m_guard->stopIsOld(StopSignals::parentGone()))
            return interrupted(); // the pages the backend still holds are given up
        const int number = m_pagesWritten + 1;
        const int brokenJpegs = BackendHooks::truncatedJpegs();
        const SANE_Status status = start();
        if (status == SANE_STATUS_NO_DOCS && m_pagesWritten > 0)
            break; // the feeder is through
        if (status != SANE_STATUS_GOOD)
            return scanFailure(status, SaneResult::Scanning,
                               QStringLiteral("page %1 could not be scanned").arg(number));
        if (m_pagesWritten >= m_settings.maxPages) {
            m_device.cancel();
            return fail(ResultInternalError,
                        QStringLiteral("the feeder delivered more pages than any feeder holds "
                                       "(more than %1); the job was cancelled")
                            .arg(m_settings.maxPages));
        }
        QImage page;
        const int code = readPage(&page);
        if (code < 0)
            break;
        if (code != ResultSuccess)
            return code;
        // sane-airscan passes on a page whose JPEG data ended early as whole, grey below.
        if (BackendHooks::truncatedJpegs() != brokenJpegs) {
            m_device.cancel();
            return fail(ResultReceiveError,
                        QStringLiteral("page %1 was cut off: its JPEG data ended before the "
                                       "image did; the job was cancelled")
                            .arg(number));
        }
        QString path, error;
        if (!m_writer->write(page, int(std::lround(m_dpi)), &path, &error)) {
            m_device.cancel();
            return fail(ResultWriteError, error);
        }
        ++m_pagesWritten;
        // The console may be gone: a write that fails (EPIPE) changes nothing.
        std::printf("page %d: %s\n", int(m_pagesWritten), qPrintable(path));
        std::fflush(stdout);
        if (!feeder)
            break;
    }
    m_device.cancel(); // ends the batch
    return m_stop.requested() ? interrupted() : ResultSuccess;
}

int ScanDriver::readPage(QImage *page)
{
    const int number = m_pagesWritten + 1;
    PageAssembler assembler;
    QByteArray buffer;
    QString error;
    bool received = false;
    for (;;) {
        SANE_Parameters parameters;
        SANE_Status status = m_device.parameters(&parameters);
        if (status != SANE_STATUS_GOOD)
            return scanFailure(status, SaneResult::Scanning,
                               QStringLiteral("page %1 has no parameters").arg(number));
        if (assembler.begin(parameters, &error) != PageAssembler::FrameDone) {
            m_device.cancel();
            return fail(ResultReceiveError, QStringLiteral("page %1: %2").arg(number).arg(error));
        }
        while ((status = read(&buffer)) == SANE_STATUS_GOOD) {
            assembler.append(buffer);
            received = received || !buffer.isEmpty();
        }
        if (status == SANE_STATUS_NO_DOCS && !received && m_pagesWritten > 0)
            return -1;
        if (status != SANE_STATUS_EOF)
            return scanFailure(status, SaneResult::Scanning,
                               QStringLiteral("page %1 could not be received").arg(number));
        if (assembler.end(&error) != PageAssembler::FrameDone) {
            m_device.cancel();
            return fail(ResultReceiveError, QStringLiteral("page %1: %2").arg(number).arg(error));
        }
        if (parameters.last_frame)
            break;
        status = start(); // the next colour plane
        if (status != SANE_STATUS_GOOD)
            return scanFailure(status, SaneResult::Scanning,
                               QStringLiteral("page %1 could not be scanned").arg(number));
    }
    *page = assembler.page();
    return ResultSuccess;
}

int ScanDriver::scanFailure(SANE_Status status, SaneResult::Stage stage, const QString &what)
{
    m_device.cancel();
    const int ended = guardFailure();
    if (ended >= 0)
        return ended;
    if (status == SANE_STATUS_CANCELLED && m_stop.requested())
        return interrupted();
    int code = SaneResult::code(status, stage);
    QString cause = QStringLiteral("%1: %2").arg(what, statusText(status));
    if (SaneResult::mayHideStoppedService(status) && !m_target.esclUrl().isEmpty()) {
        const EsclScannerStatus status = EsclScannerStatus::ask(
            m_target.esclUrl(), m_settings.timeoutS * 1000, [this] { return m_stop.requested(); });
        if (status.stopped()) {
            code = ResultStopped;
            cause = QStringLiteral("%1: the scanner's scan service is %2").arg(what, status.state);
        }
    }
    return fail(code, cause);
}
