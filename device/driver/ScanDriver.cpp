#include "device/driver/ScanDriver.h"

#include "device/common/IniEnvSettings.h"
#include "device/common/ResultCode.h"
#include "device/driver/EsclStatus.h"
#include "device/driver/PageAssembler.h"
#include "device/driver/SaneConfigDir.h"

#include <sane/saneopts.h>

#include <QDir>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString &text)
{
    std::fprintf(stderr, "ScanConsoleApp: %s\n", qPrintable(text));
    std::fflush(stderr);
}

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
    say(cause);
    return code;
}

int ScanDriver::interrupted()
{
    m_device.cancel();
    m_device.close(); // sane-airscan deletes the job on the device
    return fail(ResultInterrupted, QStringLiteral("stopped by a signal; %1 page(s) written")
                                       .arg(m_writer ? m_writer->pagesWritten() : 0));
}

void ScanDriver::onStopSignal()
{
    std::lock_guard<std::mutex> lock(m_phaseMutex);
    if (m_opening) {
        // sane_open cannot be interrupted, and no job or page exists yet.
        say(QStringLiteral("stopped by a signal while opening the device"));
        if (m_configDir)
            QDir(m_configDir->path()).removeRecursively();
        ::_exit(ResultInterrupted);
    }
    m_device.cancel();
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
    if (!m_writer->prepare(&error))
        return fail(ResultWriteError, error);

    if (m_target.byAddress()) {
        m_configDir = std::make_unique<SaneConfigDir>();
        if (!m_configDir->create(&error))
            return fail(ResultInternalError, error);
    }
    m_stop.watch([this] { onStopSignal(); });
    if (m_stop.requested())
        return interrupted();

    const SANE_Status status = m_device.init();
    if (status != SANE_STATUS_GOOD)
        return fail(ResultInternalError,
                    QStringLiteral("cannot start SANE: %1").arg(statusText(status)));
    int code = openDevice();
    if (code == ResultSuccess)
        code = configure();
    if (code == ResultSuccess)
        code = scanPages();
    return code;
}

int ScanDriver::openDevice()
{
    {
        std::lock_guard<std::mutex> lock(m_phaseMutex);
        if (m_stop.requested())
            return interrupted();
        m_opening = true;
    }
    SANE_Status status;
    {
        const int timeout = m_settings.timeoutS;
        const QString name = m_target.saneName();
        const QString configDir = m_configDir ? m_configDir->path() : QString();
        Watchdog watchdog(timeout, [timeout, name, configDir] {
            say(QStringLiteral("the scanner %1 cannot be reached: no answer within %2 s")
                    .arg(name)
                    .arg(timeout));
            if (!configDir.isEmpty())
                QDir(configDir).removeRecursively();
            ::_exit(ResultUnreachable);
        });
        status = m_device.open(m_target.saneName());
    }
    {
        std::lock_guard<std::mutex> lock(m_phaseMutex);
        m_opening = false;
    }
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
    // Top left first, so that the bottom right is never asked to lie before it.
    const struct
    {
        const char *name;
        double mm;
    } corners[] = {{SANE_NAME_SCAN_TL_X, 0},
                   {SANE_NAME_SCAN_TL_Y, 0},
                   {SANE_NAME_SCAN_BR_X, kA4WidthMm},
                   {SANE_NAME_SCAN_BR_Y, kA4HeightMm}};
    for (const auto &corner : corners) {
        const int option = m_device.find(corner.name);
        if (option <= 0)
            continue;
        double wanted = corner.mm;
        if (m_device.unit(option) == SANE_UNIT_PIXEL)
            wanted = corner.mm / 25.4 * m_dpi;
        else if (m_device.unit(option) != SANE_UNIT_MM)
            continue;
        // Limited to what the device offers: a smaller scanner scans what it can.
        const double value = OptionChoice::nearest(m_device.numbers(option), wanted);
        const SANE_Status status = m_device.setNumber(option, value);
        if (status != SANE_STATUS_GOOD)
            return scanFailure(
                status, SaneResult::Configuring,
                QStringLiteral("the scanner refused %1 = %2").arg(corner.name).arg(value));
    }
    return ResultSuccess;
}

int ScanDriver::scanPages()
{
    const bool feeder = m_request.source != ScanRequest::Flatbed;
    for (;;) {
        if (m_stop.requested())
            return interrupted();
        const SANE_Status status = m_device.start();
        if (m_stop.requested())
            return interrupted();
        if (status == SANE_STATUS_NO_DOCS && m_writer->pagesWritten() > 0)
            break; // the feeder is through
        if (status != SANE_STATUS_GOOD)
            return scanFailure(
                status, SaneResult::Scanning,
                QStringLiteral("page %1 could not be scanned").arg(m_writer->pagesWritten() + 1));
        QImage page;
        const int code = readPage(&page);
        if (code < 0)
            break;
        if (code != ResultSuccess)
            return code;
        QString path, error;
        if (!m_writer->write(page, int(std::lround(m_dpi)), &path, &error)) {
            m_device.cancel();
            return fail(ResultWriteError, error);
        }
        std::printf("page %d: %s\n", m_writer->pagesWritten(), qPrintable(path));
        std::fflush(stdout);
        if (!feeder)
            break;
    }
    m_device.cancel(); // ends the batch
    return m_stop.requested() ? interrupted() : ResultSuccess;
}

int ScanDriver::readPage(QImage *page)
{
    const int number = m_writer->pagesWritten() + 1;
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
        while ((status = m_device.read(&buffer)) == SANE_STATUS_GOOD) {
            assembler.append(buffer);
            received = received || !buffer.isEmpty();
        }
        if (m_stop.requested())
            return interrupted();
        if (status == SANE_STATUS_NO_DOCS && !received && m_writer->pagesWritten() > 0)
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
        status = m_device.start(); // the next colour plane
        if (m_stop.requested())
            return interrupted();
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
    if (status == SANE_STATUS_CANCELLED && m_stop.requested())
        return interrupted();
    int code = SaneResult::code(status, stage);
    QString cause = QStringLiteral("%1: %2").arg(what, statusText(status));
    if (SaneResult::mayHideStoppedService(status) && !m_target.esclUrl().isEmpty()) {
        const QString state = EsclStatus::ask(m_target.esclUrl(), m_settings.timeoutS);
        if (EsclStatus::stopped(state)) {
            code = ResultStopped;
            cause = QStringLiteral("%1: the scanner's scan service is %2").arg(what, state);
        }
    }
    return fail(code, cause);
}
