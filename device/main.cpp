// ScanConsoleApp, the stand-in scan program. It behaves like the device's own scan program as
// the console sees it: it takes the scan command line, leaves one JPEG per scanned page in the
// output folder and exits with a result code. No printer is involved; the pages are synthetic.
//
// Command line (every option takes one value):
//   -p address   printer address; empty or missing gives exit code 1 (printer cannot be reached)
//   -t 4         scan type; only "4" is known (may be left out)
//   -s source    1 flatbed (one page), 2 feeder (one page per sheet), 3 duplex (front and back
//                of every sheet)
//   -c colour    1 grey, 2 colour, 3 black and white (delivered as a grey page; the console
//                binarises it itself)
//   -r dpi       150, 200, 300, 400 or 600
//   -f path      output file path: pages go into its folder, named after its stem
// A missing or invalid -s, -c, -r or -f, another -t, an unknown option or an option without a
// value gives exit code 4 (parameter error). Neither 4 nor 1 writes anything.
//
// Pages: A4 at the requested resolution (round(210 / 25.4 * dpi) x round(297 / 25.4 * dpi),
// 2480 x 3508 at 300 dpi), JPEG quality 85, 8-bit grey for -c 1 and 3, RGB for -c 2. Each page is
// written as ".<stem>-NNNNNN.part" and then renamed to "<stem>-NNNNNN.jpg", so no incomplete
// ".jpg" is ever visible. Numbering continues after the highest number already in the folder,
// so pages left over from an earlier run keep their place in front of the new ones.
//
// Settings: ScanConsoleApp.ini beside the program, each overridden by an environment variable:
//   [feeder]/sheets          SCANCONSOLE_SHEETS          sheets in the feeder (default 3)
//   [feeder]/page_delay_ms   SCANCONSOLE_PAGE_DELAY_MS   scan time per page (default 1000)
//   [result]/exit_code       SCANCONSOLE_EXIT_CODE       forced exit code 0..255 (default none)
//
// Exit codes: 0 success; 1 empty printer address; 4 parameter error; 5 feeder scan with no
// sheets in the feeder; 7 a page could not be written; otherwise the forced exit code. A forced
// code is returned after all pages have been written, except a forced 1 or 4, which (like the
// real failures they stand for) write nothing.
#include "PageRenderer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>

#include <cstdio>

namespace {

enum ExitCode
{
    ExitSuccess = 0,
    ExitUnreachable = 1,
    ExitParameterError = 4,
    ExitNoImages = 5,
    ExitWriteError = 7,
};

struct Request
{
    QString address;
    int source = 0; // 1 flatbed, 2 feeder, 3 duplex
    int colour = 0; // 1 grey, 2 colour, 3 black and white
    int dpi = 0;
    QString outputPath;
};

struct DeviceSettings
{
    int sheets = 3;
    int pageDelayMs = 1000;
    int exitCode = -1; // -1: none forced
};

void report(const char *format, const QString &text)
{
    std::fprintf(stderr, format, qPrintable(text));
    std::fputc('\n', stderr);
}

// Only the plain decimal form counts: " 300", "+300" or "0300" are as invalid as "300dpi".
bool oneOf(const QString &text, std::initializer_list<int> allowed, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || QString::number(v) != text)
        return false;
    for (int a : allowed) {
        if (v == a) {
            *value = v;
            return true;
        }
    }
    return false;
}

// Returns 0 when the command line is complete and valid, else ExitParameterError.
int parseArguments(const QStringList &args, Request *request)
{
    bool haveOutput = false;
    QString source, colour, dpi;
    for (int i = 1; i < args.size(); i += 2) {
        const QString &option = args.at(i);
        if (i + 1 >= args.size()) {
            report("ScanConsoleApp: %s needs a value", option);
            return ExitParameterError;
        }
        const QString &value = args.at(i + 1);
        if (option == QLatin1String("-p")) {
            request->address = value;
        } else if (option == QLatin1String("-t")) {
            if (value != QLatin1String("4")) {
                report("ScanConsoleApp: unknown scan type %s", value);
                return ExitParameterError;
            }
        } else if (option == QLatin1String("-s")) {
            source = value;
        } else if (option == QLatin1String("-c")) {
            colour = value;
        } else if (option == QLatin1String("-r")) {
            dpi = value;
        } else if (option == QLatin1String("-f")) {
            request->outputPath = value;
            haveOutput = true;
        } else {
            report("ScanConsoleApp: unknown option %s", option);
            return ExitParameterError;
        }
    }
    if (!oneOf(source, {1, 2, 3}, &request->source)) {
        report("ScanConsoleApp: bad or missing source (-s) '%s'", source);
        return ExitParameterError;
    }
    if (!oneOf(colour, {1, 2, 3}, &request->colour)) {
        report("ScanConsoleApp: bad or missing colour mode (-c) '%s'", colour);
        return ExitParameterError;
    }
    if (!oneOf(dpi, {150, 200, 300, 400, 600}, &request->dpi)) {
        report("ScanConsoleApp: bad or missing resolution (-r) '%s'", dpi);
        return ExitParameterError;
    }
    if (!haveOutput || request->outputPath.isEmpty() ||
        QFileInfo(request->outputPath).fileName().isEmpty()) {
        report("ScanConsoleApp: bad or missing output path (-f) '%s'", request->outputPath);
        return ExitParameterError;
    }
    return 0;
}

// An environment variable wins over the ini key; values that are not numbers in range are
// ignored with a note.
void readSetting(const QSettings &ini, const char *key, const char *env, int min, int max,
                 int *value)
{
    auto take = [&](const QString &text, const char *from) {
        bool ok = false;
        const int v = text.trimmed().toInt(&ok);
        if (ok && v >= min && v <= max)
            *value = v;
        else
            std::fprintf(stderr, "ScanConsoleApp: ignoring %s = '%s'\n", from, qPrintable(text));
    };
    const QVariant fromIni = ini.value(QLatin1String(key));
    if (fromIni.isValid() && !fromIni.toString().trimmed().isEmpty())
        take(fromIni.toString(), key);
    const QByteArray fromEnv = qgetenv(env);
    if (!fromEnv.trimmed().isEmpty())
        take(QString::fromLocal8Bit(fromEnv), env);
}

DeviceSettings readSettings()
{
    DeviceSettings settings;
    const QSettings ini(QCoreApplication::applicationDirPath() +
                            QStringLiteral("/ScanConsoleApp.ini"),
                        QSettings::IniFormat);
    readSetting(ini, "feeder/sheets", "SCANCONSOLE_SHEETS", 0, 100000, &settings.sheets);
    readSetting(ini, "feeder/page_delay_ms", "SCANCONSOLE_PAGE_DELAY_MS", 0, 3600000,
                &settings.pageDelayMs);
    readSetting(ini, "result/exit_code", "SCANCONSOLE_EXIT_CODE", 0, 255, &settings.exitCode);
    return settings;
}

// The first page number of this run: one after the highest already in the folder.
int firstPageNumber(const QDir &dir, const QString &stem)
{
    const QRegularExpression pattern(
        QStringLiteral("^\\.?%1-(\\d+)\\.(jpg|part)$").arg(QRegularExpression::escape(stem)),
        QRegularExpression::CaseInsensitiveOption);
    int highest = 0;
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (match.hasMatch())
            highest = qMax(highest, match.captured(1).toInt());
    }
    return highest + 1;
}

bool writePage(const QImage &image, const QDir &dir, const QString &stem, int number,
               QString *finalPath)
{
    const QString digits = QStringLiteral("%1").arg(number, 6, 10, QLatin1Char('0'));
    const QString partPath = dir.filePath(QStringLiteral(".%1-%2.part").arg(stem, digits));
    *finalPath = dir.filePath(QStringLiteral("%1-%2.jpg").arg(stem, digits));

    QImageWriter writer(partPath, "jpeg");
    writer.setQuality(85);
    if (!writer.write(image)) {
        report("ScanConsoleApp: cannot write %s",
               partPath + QStringLiteral(": ") + writer.errorString());
        QFile::remove(partPath);
        return false;
    }
    // The rename makes the complete page appear under its ".jpg" name in one step.
    if (QFileInfo::exists(*finalPath) || !QFile::rename(partPath, *finalPath)) {
        report("ScanConsoleApp: cannot rename to %s", *finalPath);
        QFile::remove(partPath);
        return false;
    }
    return true;
}

int scan(const Request &request, const DeviceSettings &settings)
{
    const QFileInfo output(request.outputPath);
    QDir dir(output.absolutePath());
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        report("ScanConsoleApp: cannot create %s", dir.path());
        return ExitWriteError;
    }
    const QString stem = output.completeBaseName().isEmpty() ? QStringLiteral("tempImage")
                                                             : output.completeBaseName();

    const int sheets = request.source == 1 ? 1 : settings.sheets;
    const int sides = request.source == 3 ? 2 : 1;
    if (sheets == 0) {
        report("ScanConsoleApp: %s", QStringLiteral("the feeder is empty"));
        return settings.exitCode >= 0 ? settings.exitCode : ExitNoImages;
    }

    int fileNumber = firstPageNumber(dir, stem);
    int pageNumber = 1;
    for (int sheet = 0; sheet < sheets; ++sheet) {
        for (int side = 0; side < sides; ++side, ++pageNumber, ++fileNumber) {
            QThread::msleep(static_cast<unsigned long>(settings.pageDelayMs));
            PageRenderer::Page page;
            page.dpi = request.dpi;
            page.colour = request.colour == 2;
            page.number = pageNumber;
            // Each side has its own layout; the other side of the same sheet shows through.
            page.seed = 1000u + quint32(sheet) * 2u + quint32(side);
            page.backSeed = 1000u + quint32(sheet) * 2u + quint32(1 - side);
            QString path;
            if (!writePage(PageRenderer::render(page), dir, stem, fileNumber, &path))
                return ExitWriteError;
            std::printf("page %d: %s\n", pageNumber, qPrintable(path));
            std::fflush(stdout);
        }
    }
    return settings.exitCode >= 0 ? settings.exitCode : ExitSuccess;
}

} // namespace

int main(int argc, char **argv)
{
    // No display and no platform plugin are needed: pages are painted on QImage without fonts,
    // which works under a plain QCoreApplication (text drawing would need a QGuiApplication).
    // Qt would take options such as "-platform" or "-reverse" out of the command line (even
    // where they are values of ours), so it sees only the program name.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);

    Request request;
    if (parseArguments(args, &request) != 0)
        return ExitParameterError;
    if (request.address.isEmpty()) {
        report("ScanConsoleApp: %s", QStringLiteral("no printer address"));
        return ExitUnreachable;
    }
    const DeviceSettings settings = readSettings();
    if (settings.exitCode == ExitUnreachable || settings.exitCode == ExitParameterError)
        return settings.exitCode;
    return scan(request, settings);
}
