// The console tests' stand-in for the scan program ScanConsoleApp: no scanner, no SANE. It takes
// the same command line, leaves synthetic document pages the same way (see PageFileWriter) and
// exits with whatever result code a test asks for, so the console's reaction to each code can be
// tested without a scanner. Copied into a test's application directory as "ScanConsoleApp".
//
// Pages: one from the flatbed (-s 1), one per sheet from the feeder (-s 2), front and back of
// every sheet in duplex (-s 3); A4 at the requested resolution, grey for -c 1 and 3, colour for 2.
// Or, when page files are given, those images in name order, one per page (the feeder holds as
// many sheets as they fill), written at the requested resolution.
//
// Settings: ScanConsoleApp.ini beside the program, each overridden by an environment variable:
//   [feeder]/sheets          SCANCONSOLE_SHEETS          sheets in the feeder (default 3)
//   [feeder]/page_delay_ms   SCANCONSOLE_PAGE_DELAY_MS   time per page (default 1000)
//   [result]/exit_code       SCANCONSOLE_EXIT_CODE       forced exit code 0..255 (default none)
//   [feeder]/page_files      SCANCONSOLE_PAGE_FILES      a folder of "*.jpg" pages (default none)
//   [feeder]/hold_after      SCANCONSOLE_HOLD_AFTER      pages written before it holds (default
//                                                        none): it goes on once the release file
//   [feeder]/release         SCANCONSOLE_RELEASE         is there (default: it holds until stopped)
//
// Exit codes: 0 success; 1 empty address; 4 parameter error; 5 feeder scan with no sheets; 7 a
// page could not be written; otherwise the forced code, returned after all pages have been
// written, except a forced 1 or 4, which (like the failures they stand for) write nothing.
// SIGTERM or SIGINT stops it as they stop the real program: the page in hand is finished, no
// further page is started, and it exits with 130.
#include "device/common/IniEnvSettings.h"
#include "device/common/PageFileWriter.h"
#include "device/common/PageRenderer.h"
#include "device/common/ResultCode.h"
#include "device/common/ScanCommandLine.h"
#include "device/driver/StopSignals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QThread>

#include <cstdio>

namespace {

// The time one page takes at the scanner; false when a stop signal came meanwhile (or while the
// last page was written).
bool scanTime(int ms, const StopSignals &stop)
{
    for (int waited = 0; waited < ms && !stop.requested(); waited += 10)
        QThread::msleep(static_cast<unsigned long>(qMin(10, ms - waited)));
    return !stop.requested();
}

// Holds (when asked to) once `written` pages are there, until the test puts the release file in
// place; false when a stop signal came meanwhile.
bool held(int written, int holdAfter, const QString &release, const StopSignals &stop)
{
    if (written != holdAfter)
        return true;
    while (!stop.requested() && (release.isEmpty() || !QFileInfo::exists(release)))
        QThread::msleep(10);
    return !stop.requested();
}

int fail(int code, const QString &cause)
{
    std::fprintf(stderr, "ScanConsoleApp (stand-in): %s\n", qPrintable(cause));
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    // The stop signals as the real program takes them: looked at between pages, never in the
    // middle of one.
    StopSignals stop;
    stop.watch([] {});
    const QStringList arguments = ScanCommandLine::arguments(argc, argv);
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);

    ScanRequest request;
    QString error;
    if (ScanCommandLine::parse(arguments, &request, &error) != ResultSuccess)
        return fail(ResultParameterError, error);
    if (request.address.isEmpty())
        return fail(ResultUnreachable, QStringLiteral("no printer address"));

    const IniEnvSettings ini(QCoreApplication::applicationDirPath() +
                                 QStringLiteral("/ScanConsoleApp.ini"),
                             QStringLiteral("ScanConsoleApp (stand-in)"));
    const int sheets = ini.number("feeder/sheets", "SCANCONSOLE_SHEETS", 0, 100000, 3);
    const int delayMs =
        ini.number("feeder/page_delay_ms", "SCANCONSOLE_PAGE_DELAY_MS", 0, 3600000, 1000);
    const int forced = ini.number("result/exit_code", "SCANCONSOLE_EXIT_CODE", 0, 255, -1);
    const int holdAfter = ini.number("feeder/hold_after", "SCANCONSOLE_HOLD_AFTER", 0, 100000, -1);
    const QString release = ini.text("feeder/release", "SCANCONSOLE_RELEASE", QString());
    QStringList given;
    const QString pageFiles = ini.text("feeder/page_files", "SCANCONSOLE_PAGE_FILES", QString());
    if (!pageFiles.isEmpty()) {
        const QDir folder(pageFiles);
        for (const QString &name :
             folder.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
            given << folder.filePath(name);
    }
    if (forced == ResultUnreachable || forced == ResultParameterError)
        return fail(forced, QStringLiteral("forced result code"));

    PageFileWriter writer(request.outputPath);
    if (!writer.prepare(&error))
        return fail(ResultWriteError, error);
    const int sides = request.source == ScanRequest::Duplex ? 2 : 1;
    const int feederSheets = given.isEmpty() ? sheets : int(given.size() + sides - 1) / sides;
    const int pageSheets = request.source == ScanRequest::Flatbed ? 1 : feederSheets;
    if (pageSheets == 0)
        return fail(forced >= 0 ? forced : ResultNoDocuments,
                    QStringLiteral("the feeder is empty"));

    for (int sheet = 0; sheet < pageSheets; ++sheet) {
        for (int side = 0; side < sides; ++side) {
            if (!given.isEmpty() && writer.pagesWritten() == given.size())
                break; // an odd number of pages in duplex: the last back is not there
            if (!held(writer.pagesWritten(), holdAfter, release, stop) || !scanTime(delayMs, stop))
                return fail(ResultInterrupted,
                            QStringLiteral("stopped by a signal; %1 page(s) written")
                                .arg(writer.pagesWritten()));
            const PageRenderer::Page page = PageRenderer::sheetSide(
                sheet, side, request.dpi, request.colour == ScanRequest::FullColour,
                writer.pagesWritten() + 1);
            const QImage image = given.isEmpty() ? PageRenderer::render(page)
                                                 : QImage(given.at(writer.pagesWritten()));
            QString path;
            if (!writer.write(image, request.dpi, &path, &error))
                return fail(ResultWriteError, error);
            std::printf("page %d: %s\n", writer.pagesWritten(), qPrintable(path));
            std::fflush(stdout);
        }
    }
    return forced >= 0 ? forced : ResultSuccess;
}
