// A whole feeder batch through the collector, the page store and the preview window, as the
// console runs it: a simulated device drops 300 dpi A4 colour page files (drawn as the simulated
// scanner draws them, JPEG as the scan program writes them) into a page folder at a fixed pace,
// the collector takes, corrects, stores and saves them, and the preview window gets every page.
// Per output format and pace it reports pages per minute, the most page files waiting at once
// (how far the collector is behind the device), peak resident memory (and at 10, 100 and 300
// pages), the most pages in flight between the collector's two stages and, for the merged PDF,
// the time per page of writing it from the store at 10, 100 and 300 pages. For the searchable
// PDF the pace is that of the text (pages per minute until the file is written) and the memory
// at 10, 100 and 300 pages is taken as their text is done.
//
// Every case runs in a process of its own, so that its peak memory is its own. Run by hand
// (bench/run.sh batch), never by the tests; a full run takes about 50 minutes.
//   bench_batch [--pages N] [--delays 0,1000]
//               [--formats jpg,pdf,tiff,ofd,png,bmp,merged,searchable,chain]
// "chain" is JPG with every correction switched on.

#include "app/Startup.h"
#include "bench/EveryCorrection.h"
#include "device/common/JpegEncoder.h"
#include "device/common/PageRenderer.h"
#include "documents/PdfPageWriter.h"
#include "documents/SearchablePdfJob.h"
#include "pages/ImageManager.h"
#include "preview/PreviewWindow.h"
#include "scan/ReadImageThread.h"
#include "settings/SaveFormat.h"
#include "settings/ScanSettings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>

namespace {

struct Format
{
    const char *key;
    const char *label;
    int saveType;
    bool corrections;
};

const Format Formats[] = {
    {"jpg", "JPG", SaveFormat::Jpg, false},
    {"pdf", "PDF", SaveFormat::Pdf, false},
    {"tiff", "TIFF", SaveFormat::Tiff, false},
    {"ofd", "OFD", SaveFormat::Ofd, false},
    {"png", "PNG", SaveFormat::Png, false},
    {"bmp", "BMP", SaveFormat::Bmp, false},
    {"merged", "merged PDF", SaveFormat::MergedPdf, false},
    {"searchable", "searchable PDF", SaveFormat::SearchablePdf, false},
    {"chain", "JPG, every correction", SaveFormat::Jpg, true},
};

const Format *formatOf(const QString &key)
{
    for (const Format &format : Formats) {
        if (key == QLatin1String(format.key))
            return &format;
    }
    return nullptr;
}

// A field of /proc/self/status in MB ("VmRSS", "VmHWM").
double statusMb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(QByteArray(field) + ':'))
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').first().toDouble() /
                   1024.0;
    }
    return 0;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QList<QByteArray> fields = file.readAll().split(' ');
    return QString::fromLatin1(fields.mid(0, 3).join(' '));
}

// The simulated device: page files written under a hidden name and renamed when complete, as
// the scan program does, one every `delayMs` (all at once for 0).
void feed(const QString &folder, const QList<QByteArray> &sheets, int pages, int delayMs,
          std::atomic<bool> &stop)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < pages && !stop; ++i) {
        const qint64 due = qint64(i) * delayMs;
        while (clock.elapsed() < due && !stop)
            QThread::msleep(qMin<qint64>(10, due - clock.elapsed()));
        const QString part =
            folder + QStringLiteral("/.tempImage-%1.part").arg(i + 1, 6, 10, QChar('0'));
        QFile file(part);
        if (!file.open(QIODevice::WriteOnly))
            break;
        file.write(sheets.at(i % sheets.size()));
        file.close();
        QFile::rename(part,
                      folder + QStringLiteral("/tempImage-%1.jpg").arg(i + 1, 6, 10, QChar('0')));
    }
}

int runCase(const Format &format, int pages, int delayMs)
{
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/veldrin-batch-XXXXXX"));
    const QString pageFolder = work.filePath(QStringLiteral("pages"));
    const QString out = work.filePath(QStringLiteral("out"));
    QDir().mkpath(pageFolder);
    QFile::setPermissions(pageFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ImageManager *store = ImageManager::Instance();
    store->setFolderRoot(work.filePath(QStringLiteral("cache")));

    // Twelve different sheets, front and back, as the simulated scanner draws them at 300 dpi.
    QList<QByteArray> sheets;
    for (int i = 0; i < 12; ++i)
        sheets << JpegEncoder::encode(
            PageRenderer::render(PageRenderer::sheetSide(i / 2, i % 2, 300, true, i + 1)), 300);

    ScanSettings settings;
    settings.image_type = 2; // colour
    settings.save_type = format.saveType;
    settings.save_path = out;
    settings.name = QStringLiteral("Batch");
    if (format.corrections)
        setEveryCorrection(settings, 2);

    PreviewWindow preview;
    preview.show();
    ReadImageThread collector(settings, pageFolder);
    collector.SetSaveFlag(true);

    QElapsedTimer clock;
    QJsonObject result;
    double rssAt10 = 0, rssAt100 = 0, rssAt300 = 0;
    double lastStoredS = 0;
    // As the main window does: every new page goes to the preview window.
    QObject::connect(&collector, &ReadImageThread::UpdateImage, &preview, [&](int first) {
        const int n = store->count();
        for (int i = first; i < n; ++i)
            preview.AddImage(store->at(i));
        if (n > first)
            lastStoredS = clock.elapsed() / 1000.0;
        const double rss = statusMb("VmRSS");
        if (first < 10 && n >= 10)
            rssAt10 = rss;
        if (first < 100 && n >= 100)
            rssAt100 = rss;
        if (first < 300 && n >= 300)
            rssAt300 = rss;
    });
    QObject::connect(&collector, &ReadImageThread::ThreadFinished, qApp, &QApplication::quit);
    // The searchable PDF: recognised on a worker per core as the console does it.
    std::unique_ptr<SearchablePdfJob> textJob;
    std::atomic<double> textRss[3] = {{0}, {0}, {0}};
    if (format.saveType == SaveFormat::SearchablePdf) {
        textJob = std::make_unique<SearchablePdfJob>(QString(), QThread::idealThreadCount(),
                                                     settings.ocr_languages);
        collector.setTextJob(textJob.get());
        QObject::connect(
            textJob.get(), &SearchablePdfJob::Progress, textJob.get(),
            [&textRss](int done, int) {
                const int at[] = {10, 100, 300};
                for (int i = 0; i < 3; ++i) {
                    if (done == at[i])
                        textRss[i] = statusMb("VmRSS");
                }
            },
            Qt::DirectConnection);
    }

    std::atomic<bool> stop(false);
    std::atomic<int> mostWaiting(0);
    // Counts the page files waiting, and takes the written files away (the disk would fill with
    // 300 BMP pages otherwise; the merged PDF stays until the end).
    std::thread monitor([&] {
        while (!stop) {
            const int waiting =
                QDir(pageFolder, QStringLiteral("*.jpg"), QDir::NoSort, QDir::Files).count();
            mostWaiting = qMax(mostWaiting.load(), waiting);
            if (!SaveFormat::isMerged(format.saveType)) {
                for (const QString &name : QDir(out).entryList(QDir::Files))
                    QFile::remove(out + QLatin1Char('/') + name);
            }
            QThread::msleep(10);
        }
    });
    clock.start();
    collector.start();
    std::thread device([&] {
        feed(pageFolder, sheets, pages, delayMs, stop);
        collector.Finish(); // the scan program has ended
    });
    qApp->exec();
    if (textJob) { // the collector has finished it: wait for the file
        textJob->wait();
        lastStoredS = clock.elapsed() / 1000.0;
        rssAt10 = textRss[0];
        rssAt100 = textRss[1];
        rssAt300 = textRss[2];
    }
    const double elapsedS = clock.elapsed() / 1000.0;
    stop = true;
    device.join();
    monitor.join();

    result["format"] = QString::fromLatin1(format.label);
    result["delay_ms"] = delayMs;
    result["pages"] = store->count();
    result["elapsed_s"] = elapsedS;
    result["last_stored_s"] = lastStoredS;
    result["pages_per_minute"] = store->count() * 60.0 / elapsedS;
    result["most_waiting"] = mostWaiting.load();
    result["most_in_flight"] = collector.mostPagesInFlight();
    result["failed_pages"] = collector.failedPages();
    result["failed_saves"] = collector.failedSaves();
    result["rss_at_10_mb"] = rssAt10;
    result["rss_at_100_mb"] = rssAt100;
    result["rss_at_300_mb"] = rssAt300;
    result["peak_rss_mb"] = statusMb("VmHWM");
    if (format.saveType == SaveFormat::MergedPdf) {
        // Written from the store as the collector writes it at the end of a run.
        const QList<PageSource> stored = store->sources();
        for (int n : {10, 100, 300}) {
            if (n > stored.size())
                continue;
            QElapsedTimer write;
            write.start();
            const bool ok = PdfPageWriter::write(stored.mid(0, n), work.filePath("merged.pdf"));
            result[QStringLiteral("merged_%1_ms_per_page").arg(n)] =
                ok ? write.nsecsElapsed() / 1e6 / n : -1.0;
        }
        result["merged_mb"] = QFileInfo(work.filePath("merged.pdf")).size() / 1e6;
    }
    preview.ClearImage();
    store->ClearImages();
    std::printf("RESULT %s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    return 0;
}

QString cell(const QJsonObject &r, const char *key, const char *format)
{
    if (!r.contains(QLatin1String(key)))
        return QString();
    return QString::asprintf(format, r.value(QLatin1String(key)).toDouble());
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Startup::keepPageMemory(); // as the console does
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&](const QString &name, const QString &fallback) {
        const int at = args.indexOf(name);
        return at >= 0 ? args.value(at + 1) : fallback;
    };
    const int pages = option(QStringLiteral("--pages"), QStringLiteral("300")).toInt();
    if (args.contains(QStringLiteral("--case"))) {
        const Format *format = formatOf(option(QStringLiteral("--case"), QString()));
        return format ? runCase(*format, pages, option(QStringLiteral("--delay"), "0").toInt()) : 2;
    }

    const QStringList delays =
        option(QStringLiteral("--delays"), QStringLiteral("0,1000")).split(QLatin1Char(','));
    const QStringList formats =
        option(QStringLiteral("--formats"), QStringLiteral("jpg,pdf,tiff,ofd,png,bmp,merged,chain"))
            .split(QLatin1Char(','));
    std::printf("Batch of %d pages, 300 dpi A4 colour; %u cores; load average before: %s\n\n",
                pages, std::thread::hardware_concurrency(), qPrintable(loadAverage()));
    std::printf("| format | s per page | pages per minute | most pages waiting | peak RSS MB | RSS "
                "at 10 / 100 / 300 pages MB | most in flight | merged PDF ms per page at 10 / 100 "
                "/ 300 | load average |\n|---|---:|---:|---:|---:|---:|---:|---:|---|\n");
    for (const QString &delay : delays) {
        for (const QString &key : formats) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(app.applicationFilePath(), {QStringLiteral("--case"), key, "--delay", delay,
                                                    "--pages", QString::number(pages)});
            child.waitForFinished(-1);
            QJsonObject r;
            for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
                if (line.startsWith("RESULT "))
                    r = QJsonDocument::fromJson(line.mid(7)).object();
            }
            if (r.isEmpty()) {
                std::printf("| %s | %.0f | failed | | | | | | |\n", qPrintable(key),
                            delay.toDouble() / 1000);
                continue;
            }
            QString merged;
            if (r.contains(QStringLiteral("merged_10_ms_per_page")))
                merged = cell(r, "merged_10_ms_per_page", "%.2f") + " / " +
                         cell(r, "merged_100_ms_per_page", "%.2f") + " / " +
                         cell(r, "merged_300_ms_per_page", "%.2f");
            std::printf(
                "| %s | %.0f | %.1f | %d | %.0f | %s / %s / %s | %d | %s | %s |\n",
                qPrintable(r.value("format").toString()), delay.toDouble() / 1000,
                r.value("pages_per_minute").toDouble(), r.value("most_waiting").toInt(),
                r.value("peak_rss_mb").toDouble(), qPrintable(cell(r, "rss_at_10_mb", "%.0f")),
                qPrintable(cell(r, "rss_at_100_mb", "%.0f")),
                qPrintable(cell(r, "rss_at_300_mb", "%.0f")), r.value("most_in_flight").toInt(),
                qPrintable(merged), qPrintable(loadAverage()));
            if (r.value("failed_pages").toInt() || r.value("failed_saves").toInt() ||
                r.value("pages").toInt() != pages)
                std::printf("|   (%d pages stored, %d failed pages, %d failed saves) |\n",
                            r.value("pages").toInt(), r.value("failed_pages").toInt(),
                            r.value("failed_saves").toInt());
            std::fflush(stdout);
        }
    }
    std::printf("\nLoad average after: %s\n", qPrintable(loadAverage()));
    return 0;
}
