#include "documents/PageWriter.h"
#include "documents/PdfPageWriter.h"
#include "imaging/BlankPageDetector.h"
#include "imaging/ImageAlgorithm.h"
#include "imaging/PageCorrector.h"
#include "pages/ImageManager.h"
#include "pages/PageDecoder.h"
#include "pages/PageResolution.h"
#include "scan/PageFolder.h"
#include "scan/PageTally.h"
#include "scan/ReadImageThread.h"
#include "settings/ParamSetting.h"
#include "settings/SaveFormat.h"
#include "tests/support/DocumentPages.h"
#include "tests/support/PdfFiles.h"
#include "tests/support/SavedFiles.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPages.h"

#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using TestFiles::limitFileSize;
using TestFiles::readAll;
using TestFiles::writeFile;

// The page collector on real files in "/tmp/tempimages" and the page writers: sweeps, deletion,
// corrections, files that are no pages, every output format, empty pages and failed writes.
class TestReadImageThread : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ParamSetting &p = ParamSetting::instance;
    ImageManager *store = ImageManager::Instance();
    QList<int> m_updates;
    PageTally::Counts m_counts; // of the last collect()
    int m_mostInFlight = 0;     // of the last collect()
    int m_storeFull = 0;        // StoreFull() of the last collect()

    static QString temp(const QString &name) { return "/tmp/tempimages/" + name; }
    QString out(const QString &name = "") const { return m_dir.path() + "/out/" + name; }
    static void putPage(const QString &name, int width, int height)
    {
        QVERIFY(TestPages::randomImage(QImage::Format_RGB32, width, height, qHash(name))
                    .save(temp(name), "JPG"));
    }
    static QStringList files(const QString &folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    // The file system's "cannot be deleted or renamed" flag; false where it is not available.
    static bool setImmutable(const QString &path, bool on)
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
        int flags = 0;
        const bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                          (flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL,
                           ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
        if (fd >= 0)
            ::close(fd);
        return done;
    }

    // One collector, asked to stop (as by the scan runner) after `sweeps` sweeps, or once no
    // page file is left (0), or before it starts (-1). Returns the failed saves, which must be
    // reported for the destination folder. A collector that does not finish in time (blocked)
    // fails the test, after `unblock` has been given the chance to free it.
    int collect(bool save, int sweeps = 0, const std::function<void()> &unblock = {})
    {
        ReadImageThread thread(p.scanSettings());
        thread.SetSaveFlag(save);
        m_updates.clear();
        connect(&thread, &ReadImageThread::UpdateImage, this, [&](int first) {
            m_updates << first;
            if (sweeps > 0 ? m_updates.size() >= sweeps
                           : QDir("/tmp/tempimages", "*.jpg", QDir::Name, QDir::Files).count() == 0)
                thread.Finish();
        });
        bool finished = false; // after every page signal
        connect(&thread, &ReadImageThread::ThreadFinished, this, [&] { finished = true; });
        m_storeFull = 0;
        connect(&thread, &ReadImageThread::StoreFull, this, [&] { ++m_storeFull; });
        if (sweeps < 0)
            thread.Finish();
        thread.start();
        if (!QTest::qWaitFor([&] { return finished; }, unblock ? 60000 : 120000)) {
            QTest::qFail("the collector did not finish", __FILE__, __LINE__);
            if (unblock)
                unblock();
        }
        thread.Finish();
        thread.wait();
        m_counts = thread.tally()->counts();
        m_mostInFlight = thread.mostPagesInFlight();
        if (thread.failedSaves() > 0 && thread.failedFolder() != p.save_path)
            QTest::qFail("failed saves reported for another folder", __FILE__, __LINE__);
        return thread.failedSaves();
    }

private slots:
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); } // beyond the limit: EFBIG, no signal
    void init()
    {
        TestEnvironment::clearTempImages();
        TestEnvironment::resetRecord();
        store->ClearImages();
        QDir(out()).removeRecursively();
        p.save_path = out().chopped(1); // the record's black and white thresholds each page
    }
    void cleanup()
    {
        limitFileSize(RLIM_INFINITY);
        // What a case made of the folder itself: a link, a read-only mode.
        if (QFileInfo("/tmp/tempimages").isSymLink())
            QFile::remove("/tmp/tempimages");
        ::chmod("/tmp/tempimages", 0700);
        setImmutable(temp("fixed.jpg"), false);
        TestEnvironment::clearTempImages();
        store->ClearImages();
    }

    void largestPage()
    {
        // Just over the largest page, either way round: refused before it is decoded.
        QByteArray jpeg = TestFiles::jpeg(TestPages::randomImage(QImage::Format_RGB32, 8, 8, 1));
        const int sof = jpeg.indexOf("\xff\xc0");
        QImage page;
        for (QSize size : {QSize(7101, 10000), QSize(10000, 7101)}) {
            jpeg[sof + 5] = char(size.height() >> 8), jpeg[sof + 6] = char(size.height());
            jpeg[sof + 7] = char(size.width() >> 8), jpeg[sof + 8] = char(size.width());
            QCOMPARE(PageDecoder::decode(jpeg, &page), PageDecoder::TooLarge);
        }
    }

    void nothingSavedUnderMemoryPressure()
    {
        // The writer's own copy of the page cannot be had: Qt's BMP writer still writes a file
        // around an empty image. That is no saved page, and no file is left. (JPG, TIFF and PNG:
        // Qt's encoders end the process there instead, std::bad_alloc.) OFD and PDF encode their
        // JPEG row by row and so really write the page, whole, under this limit.
#ifdef __SANITIZE_ADDRESS__
        QSKIP("the address sanitizer's allocator does not run under a data limit");
#endif
        QImage page(5000, 5000, QImage::Format_RGB888); // 75 MB; a 32-bit copy needs 100 MB
        page.fill(Qt::darkCyan);
        QVERIFY(QDir().mkpath(out()));
        for (int type : {SaveFormat::Pdf, SaveFormat::Bmp, SaveFormat::MergedPdf}) {
            const QString target = out("page" + SaveFormat::suffix(type));
            const bool written = type != SaveFormat::Bmp;
            const QString status = readAll("/proc/self/status");
            const rlim_t data =
                QRegularExpression("VmData:\\s*(\\d+)").match(status).captured(1).toULongLong();
            rlimit old;
            getrlimit(RLIMIT_DATA, &old);
            const rlimit tight{data * 1024 + 24 * 1024 * 1024, old.rlim_max};
            setrlimit(RLIMIT_DATA, &tight);
            const bool saved = type == SaveFormat::MergedPdf
                                   ? PdfPageWriter::writeMerged({page}, target)
                                   : PageWriter::write(page, type, target);
            setrlimit(RLIMIT_DATA, &old);
            QCOMPARE(saved, written);
            QCOMPARE(QFile::exists(target), written);
            if (written)
                QCOMPARE(PdfFiles::pages(target).value(0).pixels, page.size());
            QFile::remove(target);
            QCOMPARE(files(out()), QStringList()); // nothing else either
        }
    }

    void blankPagesAreLeftOut()
    {
        // A blank sheet (grain, show-through, punched holes) before two text pages. It is taken,
        // stored and kept in the store's folder like the others, but marked skipped (also on
        // disk, so it survives the console) and counted instead of saved; the merged PDF holds
        // the other pages, named after the first of them. (Single page files, kept or removed:
        // tst_scanroad.)
        p.skip_blank = true;
        p.save_type = SaveFormat::MergedPdf;
        p.image_type = 1; // grey, no threshold
        DocumentPages::Options text, blank;
        text.noise = blank.noise = blank.showThrough = blank.holes = true;
        blank.textLines = 0;
        for (int i = 0; i < 3; ++i)
            QVERIFY(DocumentPages::page(i == 0 ? blank : text, i + 1)
                        .save(temp(QString("%1.jpg").arg(i)), "JPG"));
        QCOMPARE(collect(true), 0);
        QVERIFY(m_counts.skipped == 1 && m_counts.collected == 2 && m_counts.saved == 2);
        QVERIFY(store->count() == 3 && store->at(0)->skipped && !store->at(1)->skipped);
        QVERIFY(BlankPageDetector::isBlank(store->imageAt(0)));
        QCOMPARE(files(out()), QStringList(store->at(1)->name + ".pdf"));
        QCOMPARE(PdfFiles::pdfinfoPages(out(store->at(1)->name + ".pdf")), 2);
        QVERIFY(files("/tmp/tempimages").isEmpty());
        const QList<PageStoreFolder::Entry> entries = PageStoreFolder::index(store->folderPath());
        QVERIFY(entries.size() == 3 && entries.at(0).state == PageStoreFolder::Skipped);
        QCOMPARE(QDir(store->folderPath()).entryList({"*.page"}, QDir::Files).size(), 3);
    }

    void aPageFileGoesOnlyWhenItIsKept()
    {
        // What was read is handed over while the file is still there: a console killed at any
        // moment leaves the page in the page folder or in the store's folder, never in neither.
        // Kept nowhere, it stays and is taken once; kept elsewhere, it is deleted.
        putPage("1.jpg", 30, 20);
        const QByteArray bytes = readAll(temp("1.jpg"));
        const PageFolder folder("/tmp/tempimages");
        for (bool kept : {false, true}) {
            QSet<QByteArray> seen;
            bool stillThere = false;
            const PageFolder::Page page =
                folder.take("1.jpg", seen, [&](const PageFolder::Page &read) {
                    stillThere =
                        QFile::exists(temp("1.jpg")) && read.bytes == bytes && read.complete;
                    return kept;
                });
            QVERIFY(stillThere);
            QCOMPARE(page.state, kept ? PageFolder::Page::Taken : PageFolder::Page::Kept);
            QCOMPARE(QFile::exists(temp("1.jpg")), !kept);
            if (!kept)
                QCOMPARE(folder.take("1.jpg", seen).state, PageFolder::Page::Known);
        }
    }

    void pagesOfEveryKindAreCorrected()
    {
        // Black and white pages (the record's default) of formats the decoder does not give as
        // 8-bit grey or 32-bit colour (PNGs under the scan program's names): thresholded by their
        // grey values like any other page.
        QImage palette = TestPages::randomImage(QImage::Format_Indexed8, 64, 48, 5);
        for (int i = 0; i < 256; ++i) // index i shows grey 255 - i
            palette.setColor(i, qRgb(255 - i, 255 - i, 255 - i));
        QImage mono = TestPages::randomImage(QImage::Format_Mono, 64, 48, 6);
        mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        const QList<QImage> pages{palette, mono,
                                  TestPages::randomImage(QImage::Format_Grayscale16, 64, 48, 4)};
        QList<QImage> expected;
        for (int i = 0; i < pages.size(); ++i) {
            const QString name = temp(QString("%1.jpg").arg(i));
            QVERIFY(pages[i].save(name, "PNG"));
            expected << QImage(name).convertToFormat(QImage::Format_Grayscale8);
            ImageAlgorithm::Threshold(&expected.last());
        }
        QCOMPARE(collect(false), 0);
        QCOMPARE(store->count(), pages.size());
        for (int i = 0; i < pages.size(); ++i) {
            QCOMPARE(store->imageAt(i).format(), expected[i].format()); // black and white
            QCOMPARE(store->imageAt(i).convertToFormat(QImage::Format_Grayscale8),
                     expected[i].convertToFormat(QImage::Format_Grayscale8));
        }
    }

    void onlyAFolderOfOursIsUsed()
    {
        // Nothing in a folder that is not ours is read or deleted (here a link; a folder open to
        // others or another user's fails the same check: tst_scan's pageFolderOfTheRun).
        const QString pages = out("elsewhere");
        QVERIFY(QDir().mkpath(pages) && QDir("/tmp/tempimages").removeRecursively());
        QVERIFY(QFile::link(pages, "/tmp/tempimages"));
        putPage("page.jpg", 30, 20);
        QCOMPARE(collect(false, 2), 0);
        QCOMPARE(store->count(), 0);
        QCOMPARE(files(pages), QStringList{"page.jpg"});
    }

    void linksAndUndeletableFiles()
    {
        // A link named like a page is no page; a page that cannot be deleted is taken once.
        const QString outside = out("outside.jpg");
        QVERIFY(QDir().mkpath(out()));
        QVERIFY(TestPages::randomImage(QImage::Format_RGB32, 40, 30, 7).save(outside, "JPG"));
        QVERIFY(QFile::link(outside, temp("x.jpg")));
        putPage("fixed.jpg", 30, 20);
        const bool immutable = setImmutable(temp("fixed.jpg"), true);
        if (!immutable) // without the flag: a folder we may not write to (root ignores that)
            QCOMPARE(::chmod("/tmp/tempimages", 0500), 0);
        QCOMPARE(collect(false, 3), 0);
        setImmutable(temp("fixed.jpg"), false);
        ::chmod("/tmp/tempimages", 0700);
        if (!immutable && getuid() == 0)
            QSKIP("no immutable flag here, and root deletes from any folder");
        QCOMPARE(store->count(), 1);
        QCOMPARE(store->at(0)->size.width(), 30);
        QCOMPARE(files("/tmp/tempimages"), QStringList({"fixed.jpg", "x.jpg"}));
        QVERIFY(QFileInfo(temp("x.jpg")).isSymLink() && QFile::exists(outside));
    }

    void swappedPipeNeitherBlocksNorIsDeleted()
    {
        // Eight page names flip between a page file and a pipe while the collector runs. The
        // collector must neither block on a pipe nor delete one. Each pipe keeps exactly one
        // name (the flipper only moves it), so a pipe without a name was deleted; our open end
        // of it keeps it observable and lets a blocked reader go.
        const int names = 8;
        const QString side = out("side/");
        QVERIFY(QDir().mkpath(side));
        const auto path = [](const QString &p) { return QFile::encodeName(p); };
        const auto page = [&](int i) { return path(side + "page" + QString::number(i)); };
        const auto pipe = [&](int i) { return path(side + "pipe" + QString::number(i)); };
        const auto name = [&](int i) { return path(temp(QString::number(i) + ".jpg")); };
        QVector<int> pipes;
        for (int i = 0; i < names; ++i) {
            QVERIFY(TestPages::randomImage(QImage::Format_RGB32, 700, 700, i).save(page(i), "JPG"));
            QCOMPARE(::mkfifo(pipe(i), 0600), 0);
            pipes << ::open(pipe(i), O_RDWR | O_NONBLOCK);
            QVERIFY(pipes.last() >= 0 && ::link(page(i), name(i)) == 0);
        }
        std::atomic<bool> stop(false);
        std::thread flipper([&] {
            while (!stop) {
                for (int i = 0; i < names; ++i) // the pipe replaces the page file's name
                    ::rename(pipe(i), name(i));
                usleep(200);
                for (int i = 0; i < names; ++i) { // the pipe moves out, a page file comes back
                    struct stat atName, fifo;
                    if (::lstat(name(i), &atName) == 0 && ::fstat(pipes[i], &fifo) == 0 &&
                        atName.st_ino == fifo.st_ino)
                        ::rename(name(i), pipe(i));
                    ::link(page(i), path(side + "new"));
                    if (renameat2(AT_FDCWD, path(side + "new"), AT_FDCWD, name(i),
                                  RENAME_NOREPLACE))
                        ::unlink(path(side + "new"));
                }
                usleep(600);
            }
        });
        QVector<int> links(names, -1);
        const auto closePipes = [&] { // counting the names each pipe still has
            for (int i = 0; i < names; ++i) {
                struct stat st;
                if (pipes[i] >= 0 && ::fstat(pipes[i], &st) == 0 && S_ISFIFO(st.st_mode))
                    links[i] = int(st.st_nlink);
                ::close(pipes[i]);
                pipes[i] = -1;
            }
        };
        collect(false, 3, [&] { // a blocked reader sees the end once our ends are closed
            stop = true;
            closePipes();
        });
        stop = true;
        flipper.join();
        closePipes();
        QCOMPARE(links, QVector<int>(names, 1));

        // Nothing is stuck: once every name holds a page file again, the next run takes them all.
        for (int i = 0; i < names; ++i) {
            struct stat st;
            if (::lstat(name(i), &st) == 0 && S_ISFIFO(st.st_mode))
                QCOMPARE(::rename(name(i), pipe(i)), 0);
            if (::lstat(name(i), &st) != 0)
                QCOMPARE(::link(page(i), name(i)), 0);
        }
        const int before = store->count();
        QCOMPARE(collect(false), 0);
        QCOMPARE(store->count(), before + names);
    }

    // The two stages keep the order of one: pages in the store and their files in name order
    // (whatever the letter case), named by the store's numbering one after the other (failed
    // pages included, as empty pages), every page exactly as corrected, the sweep reported with
    // the count before it. A page the corrections left alone is kept as its file; the stages work
    // side by side; a broken page file is a failed page, never decoded. Pages there when the
    // collector is asked to stop before it starts belong to the run and are taken. A directory or a
    // pipe under a page name is no page: neither opened nor taken, nor keeping the collector busy.
    void pipelineKeepsOrderAndNames_data()
    {
        QTest::addColumn<bool>("corrected");
        QTest::addColumn<bool>("stopAtOnce");
        QTest::newRow("corrected") << true << false;
        QTest::newRow("as scanned, asked to stop first") << false << true;
    }
    void pipelineKeepsOrderAndNames()
    {
        QFETCH(bool, corrected);
        QFETCH(bool, stopAtOnce);
        p.image_type = 2; // colour: no black and white step
        p.brightness_correct = corrected ? 12.0f : 0.0f;
        p.save_type = SaveFormat::Png; // the slow writer: the first stage runs ahead of it
        p.name = "Batch";
        const int pages = 10;
        const QList<int> failing{3, 7};
        QList<QImage> expected;
        for (int i = 0; i < pages; ++i) {
            const QString name = QString(i % 2 ? "P%1.JPG" : "p%1.jpg").arg(i, 2, 10, QChar('0'));
            putPage(name, 450, 600);
            QByteArray bytes = readAll(temp(name));
            const int sof = bytes.indexOf("\xff\xc0");
            QVERIFY(sof > 0);
            if (i == 3 && corrected) // a JPEG without its end: waited for, then a failed page
                bytes.chop(40);
            if (i == 3 && !corrected)             // a header announcing 60000 x 60000 pixels
                for (int at : {sof + 5, sof + 7}) // height, width
                    bytes[at] = char(0xea), bytes[at + 1] = char(0x60);
            QVERIFY(writeFile(temp(name), i == 7 ? QByteArray("no image") : bytes));
            QImage page; // a failed page is an empty page
            if (!failing.contains(i)) {
                QCOMPARE(PageDecoder::decode(bytes, &page), PageDecoder::Decoded);
                PageCorrector::correct(&page, p.scanSettings());
            }
            expected << page;
        }
        QVERIFY(writeFile(temp("note.txt"), "") && QDir().mkdir(temp("folder.jpg")));
        QCOMPARE(::mkfifo(QFile::encodeName(temp("pipe.jpg")).constData(), 0600), 0);
        QCOMPARE(collect(true, stopAtOnce ? -1 : 0), 0);
        // The sweep that took them all, then any sweeps of an empty folder until the stop.
        QVERIFY(!m_updates.isEmpty() && m_updates.first() == 0 &&
                m_updates.count(pages) == m_updates.size() - 1);
        QCOMPARE(m_counts.failedPages, failing.size());
        QVERIFY2(m_mostInFlight >= 2, qPrintable(QString::number(m_mostInFlight)));
        QCOMPARE(store->count(), pages);
        QStringList written;
        int number = -1;
        for (int i = 0; i < pages; ++i) {
            const QRegularExpressionMatch match =
                QRegularExpression(R"(^Batch(\d*)-\d{4}(-\d\d){5}$)").match(store->at(i)->name);
            QVERIFY2(match.hasMatch(), qPrintable(store->at(i)->name));
            const int n = match.captured(1).isEmpty() ? 1 : match.captured(1).toInt(); // the first
            QVERIFY(number < 0 || n == number + 1);
            number = n;
            QVERIFY(store->imageAt(i) == expected.at(i));
            QCOMPARE(store->sourceAt(i).keepsOriginal(), !corrected && !expected.at(i).isNull());
            if (expected.at(i).isNull())
                continue;
            written << store->at(i)->name + ".png";
            QCOMPARE(QImage(out(written.last())).convertToFormat(QImage::Format_RGB32),
                     expected.at(i).convertToFormat(QImage::Format_RGB32));
        }
        written.sort();
        QCOMPARE(files(out()), written);
        QCOMPARE(files("/tmp/tempimages"), QStringList({"note.txt", "pipe.jpg"}));
    }

    void savesEveryFormat_data()
    {
        QTest::addColumn<int>("saveType");
        for (int type = SaveFormat::Jpg; type <= SaveFormat::MergedOfd; ++type) {
            if (type != SaveFormat::SearchablePdf) // recognised: tested with its job
                QTest::newRow(qPrintable(QString::number(type) + SaveFormat::suffix(type))) << type;
        }
    }
    void savesEveryFormat()
    {
        // An unreadable page and two pages into a missing folder, then a page on a full disk:
        // neither the empty nor the last is written, the first is reported as a failed page,
        // the last as a failed save (and its file stays), the files before stay whole. The merged
        // PDF is named after the empty page and holds the two good ones.
        QFETCH(int, saveType);
        p.save_type = saveType;
        p.save_path = out("a/b");
        QVERIFY(writeFile(temp("0.jpg"), "no image"));
        putPage("1.jpg", 320, 200);
        putPage("2.jpg", 160, 240);
        QCOMPARE(collect(true), 0);
        // Three pages collected, the two good ones saved; the first file is the first page's,
        // or the merged PDF named after the empty page.
        const bool merged = SaveFormat::isMerged(saveType);
        QVERIFY(m_counts.failedPages == 1 && m_counts.collected == 3 && m_counts.saved == 2);
        QCOMPARE(m_counts.firstFile,
                 out("a/b/" + store->at(merged ? 0 : 1)->name + SaveFormat::suffix(saveType)));
        putPage("3.jpg", 12, 12);
        limitFileSize(64);
        QCOMPARE(collect(true, 2), merged ? 3 : 1); // the merged PDF fails for all its pages
        limitFileSize(RLIM_INFINITY);
        QCOMPARE(store->count(), 4);
        // Nor could the store keep it: its file stays, and the operator is told.
        QCOMPARE(files("/tmp/tempimages"), QStringList{"3.jpg"});
        QCOMPARE(m_storeFull, 1);
        // Every page its image's size at its resolution; a PDF valid for qpdf and poppler, each
        // of its pages covered by the page's JPEG.
        QStringList expected;
        for (int i = merged ? 0 : 1; i < (merged ? 1 : 3); ++i) {
            const QString file = out("a/b/" + store->at(i)->name + SaveFormat::suffix(saveType));
            expected << QFileInfo(file).fileName();
            const QList<SavedFiles::Page> pages = SavedFiles::pages(file);
            QCOMPARE(pages.size(), 1 + merged);
            for (int k = 0; k < pages.size(); ++k) {
                const QImage page = store->imageAt(merged ? k + 1 : i);
                const QPointF dpi = PageResolution::dpi(page) - pages[k].dpi;
                QCOMPARE(pages[k].pixels, page.size());
                QVERIFY2(qAbs(dpi.x()) < 0.05 && qAbs(dpi.y()) < 0.05, qPrintable(file));
            }
            if (saveType == SaveFormat::Pdf || saveType == SaveFormat::MergedPdf) {
                QVERIFY(PdfFiles::checks(file));
                QCOMPARE(PdfFiles::pdfinfoPages(file), pages.size());
                for (const PdfFiles::Page &page : PdfFiles::pages(file))
                    QVERIFY(page.fullPage && page.filter == "/DCTDecode");
            }
        }
        QCOMPARE(files(out("a/b")), expected); // nothing else: no ".pdf" beside an ".ofd"
    }
};

SCANCONSOLE_TEST_MAIN(TestReadImageThread)
#include "tst_readimagethread.moc"
