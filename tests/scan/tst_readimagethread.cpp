#include "documents/PageWriter.h"
#include "documents/PdfPageWriter.h"
#include "documents/SearchablePdfJob.h"
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
#include "tests/support/TextPages.h"

#include <QApplication>
#include <QBuffer>
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
    static void putFile(const QString &path, const QByteArray &content)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
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
    int collect(bool save, int sweeps = 0, const std::function<void()> &unblock = {},
                SearchablePdfJob *textJob = nullptr)
    {
        ReadImageThread thread(p.scanSettings());
        thread.SetSaveFlag(save);
        thread.setTextJob(textJob);
        m_updates.clear();
        connect(&thread, &ReadImageThread::UpdateImage, this, [&](int first) {
            m_updates << first;
            if (sweeps > 0 ? m_updates.size() >= sweeps
                           : QDir("/tmp/tempimages", "*.jpg", QDir::Name, QDir::Files).count() == 0)
                thread.Finish();
        });
        bool finished = false;
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

    void previewTakesPageFilesInNameOrder_data()
    {
        QTest::addColumn<bool>("stopAtOnce");
        QTest::newRow("while running") << false;
        QTest::newRow("asked to stop first") << true;
    }
    void previewTakesPageFilesInNameOrder()
    {
        // Pages left when asked to stop belong to this run and are taken. A directory or a pipe
        // under a page name is no page: neither opened nor taken, nor keeping the collector busy.
        QFETCH(bool, stopAtOnce);
        putPage("b.jpg", 30, 20);
        putPage("A.jpg", 40, 20);
        putPage("c.JPG", 50, 20);
        putFile(temp("note.txt"), "");
        QVERIFY(QDir().mkdir(temp("folder.jpg")));
        QCOMPARE(::mkfifo(QFile::encodeName(temp("pipe.jpg")).constData(), 0600), 0);
        QImage first(temp("A.jpg"));
        ImageAlgorithm::Threshold(&first);
        QCOMPARE(collect(false, stopAtOnce ? -1 : 0), 0);
        QCOMPARE(m_updates, stopAtOnce ? QList<int>{0} : QList<int>({0, 3})); // count before
        QVERIFY(store->imageAt(0) == first);
        QVERIFY(store->count() == 3 && store->at(1)->size.width() == 30 &&
                store->at(2)->size.width() == 50);
        QCOMPARE(files("/tmp/tempimages"), QStringList({"note.txt", "pipe.jpg"}));
        QVERIFY(QDir().rmdir(temp("folder.jpg")) && !QDir(out()).exists()); // nothing written
    }

    void brokenPageFilesAreFailedPages_data()
    {
        QTest::addColumn<bool>("cutOff"); // else: a few hundred bytes claiming 60000 x 60000
        QTest::newRow("JPEG without its end, waited for") << true;
        QTest::newRow("header announcing too many pixels") << false;
    }
    void brokenPageFilesAreFailedPages()
    {
        // A failed page, never decoded; the page after it is collected and saved as usual.
        QFETCH(bool, cutOff);
        putPage("1.jpg", 30, 20);
        QByteArray jpeg = readAll(temp("1.jpg"));
        const int sof = jpeg.indexOf("\xff\xc0");
        QVERIFY(sof > 0);
        for (int at : {sof + 5, sof + 7}) // height, width
            jpeg[at] = char(0xea), jpeg[at + 1] = char(0x60);
        putFile(temp("0.jpg"), cutOff ? readAll(temp("1.jpg")).chopped(40) : jpeg);
        QCOMPARE(collect(true), 0);
        QCOMPARE(m_counts.failedPages, 1);
        QVERIFY(store->count() == 2 && store->at(0)->size.isEmpty());
        QCOMPARE(files(out()), QStringList{store->at(1)->name + ".jpg"});
        // Just over the largest page, either way round.
        QImage page;
        for (QSize size : {QSize(7101, 10000), QSize(10000, 7101)}) {
            jpeg[sof + 5] = char(size.height() >> 8), jpeg[sof + 6] = char(size.height());
            jpeg[sof + 7] = char(size.width() >> 8), jpeg[sof + 8] = char(size.width());
            QCOMPARE(PageDecoder::decode(jpeg, &page), PageDecoder::TooLarge);
        }
    }

    void nothingSavedUnderMemoryPressure_data()
    {
        // JPG, TIFF and PNG: Qt's encoders end the process there instead (std::bad_alloc). OFD
        // and PDF encode their JPEG row by row and so really write the page under this limit.
        QTest::addColumn<int>("saveType");
        QTest::addColumn<bool>("written");
        for (int type : {SaveFormat::Pdf, SaveFormat::Bmp, SaveFormat::MergedPdf})
            QTest::newRow(qPrintable(QString::number(type) + SaveFormat::suffix(type)))
                << type << (type != SaveFormat::Bmp);
    }
    void nothingSavedUnderMemoryPressure()
    {
        // The writer's own copy of the page cannot be had: Qt's BMP writer still writes a file
        // around an empty image. That is no saved page, and no file is left. A page that is
        // written is there whole.
#ifdef __SANITIZE_ADDRESS__
        QSKIP("the address sanitizer's allocator does not run under a data limit");
#endif
        QFETCH(int, saveType);
        QFETCH(bool, written);
        QImage page(5000, 5000, QImage::Format_RGB888); // 75 MB; a 32-bit copy needs 100 MB
        page.fill(Qt::darkCyan);
        const QString target = out("page" + SaveFormat::suffix(saveType));
        QVERIFY(QDir().mkpath(out()));
        QFile status("/proc/self/status");
        QVERIFY(status.open(QIODevice::ReadOnly));
        const QByteArray text = status.readAll();
        const int at = text.indexOf("VmData:");
        const rlim_t data = text.mid(at + 7, text.indexOf('\n', at) - at - 7)
                                .trimmed()
                                .split(' ')
                                .first()
                                .toULongLong() *
                            1024;
        rlimit old;
        getrlimit(RLIMIT_DATA, &old);
        const rlimit tight{data + 24 * 1024 * 1024, old.rlim_max};
        setrlimit(RLIMIT_DATA, &tight);
        const bool saved = saveType == SaveFormat::MergedPdf
                               ? PdfPageWriter::writeMerged({page}, target)
                               : PageWriter::write(page, saveType, target);
        setrlimit(RLIMIT_DATA, &old);
        QCOMPARE(saved, written);
        QCOMPARE(files(out()), written ? QStringList(QFileInfo(target).fileName()) : QStringList());
        if (written) {
            const QList<PdfFiles::Page> pages = PdfFiles::pages(target);
            QVERIFY(pages.size() == 1 && pages.first().pixels == page.size());
        }
    }

    void blankPagesAreLeftOut_data()
    {
        QTest::addColumn<bool>("skip");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("blankAt");
        QTest::newRow("removed") << true << int(SaveFormat::Jpg) << 1;
        QTest::newRow("kept") << false << int(SaveFormat::Jpg) << 1;
        QTest::newRow("removed first, merged PDF") << true << int(SaveFormat::MergedPdf) << 0;
    }
    void blankPagesAreLeftOut()
    {
        // Beside two text pages a blank sheet (grain, show-through, punched holes). Removed, it
        // is taken, stored and kept in the store's folder like the others, but marked skipped
        // (also on disk, so it survives the console) and counted instead of saved; the merged
        // PDF holds the other pages, named after the first of them.
        QFETCH(bool, skip);
        QFETCH(int, format);
        QFETCH(int, blankAt);
        p.skip_blank = skip;
        p.save_type = format;
        p.image_type = 1; // grey, no threshold
        DocumentPages::Options text, blank;
        text.noise = blank.noise = blank.showThrough = blank.holes = true;
        blank.textLines = 0;
        for (int i = 0; i < 3; ++i)
            QVERIFY(DocumentPages::page(i == blankAt ? blank : text, i + 1)
                        .save(temp(QString("%1.jpg").arg(i)), "JPG"));
        QCOMPARE(collect(true), 0);
        const int kept = skip ? 2 : 3;
        QCOMPARE(m_counts.skipped, skip ? 1 : 0);
        QCOMPARE(m_counts.collected, kept);
        QCOMPARE(m_counts.saved, kept);
        QCOMPARE(store->count(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(store->at(i)->skipped, skip && i == blankAt);
        QVERIFY(BlankPageDetector::isBlank(store->imageAt(blankAt)));
        const QStringList saved = files(out());
        const QString firstKept = store->at(blankAt == 0 ? 1 : 0)->name;
        if (format == SaveFormat::MergedPdf) {
            QCOMPARE(saved, QStringList(firstKept + ".pdf"));
            QCOMPARE(PdfFiles::pdfinfoPages(out(saved.first())), kept);
        } else {
            QCOMPARE(saved.size(), kept);
            QCOMPARE(saved.contains(store->at(blankAt)->name + ".jpg"), !skip);
        }
        QVERIFY(files("/tmp/tempimages").isEmpty());
        const QList<PageStoreFolder::Entry> entries = PageStoreFolder::index(store->folderPath());
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries.at(blankAt).state,
                 skip ? PageStoreFolder::Skipped : PageStoreFolder::Page);
        QCOMPARE(QDir(store->folderPath()).entryList({"*.page"}, QDir::Files).size(), 3);
    }

    void searchablePdfGetsTheStoredPages()
    {
        // The collector hands every stored page to the recognition and goes on; at its end the
        // job is named after the store's first page (as the merged PDF is) and finished. A page
        // file that is no image and a blank page (stored, skipped) never reach it.
        p.save_type = SaveFormat::SearchablePdf;
        p.skip_blank = true;
        p.image_type = 2;
        p.save_path = out("pdf");
        QVERIFY(TextPages::card("合同条款", "Invoice", 200).save(temp("0.jpg"), "JPG"));
        QImage paper = TextPages::card("", "", 200);
        QVERIFY(paper.save(temp("1.jpg"), "JPG"));
        putFile(temp("2.jpg"), "no image");
        QVERIFY(TextPages::card("付款日期", "Delivery", 200).save(temp("3.jpg"), "JPG"));
        const QByteArray scanned = readAll(temp("0.jpg"));
        SearchablePdfJob job(QString(), 2);
        QCOMPARE(collect(true, 0, {}, &job), 0);
        QVERIFY(job.wait(120000));
        QCOMPARE(m_counts.skipped, 1);
        QCOMPARE(m_counts.failedPages, 1);
        QCOMPARE(store->count(), 4);
        QVERIFY(store->at(1)->skipped);
        QCOMPARE(job.pageCount(), 2);
        const QString pdf = out("pdf/" + store->at(0)->name + ".pdf");
        QCOMPARE(job.target(), pdf);
        QCOMPARE(PdfFiles::pdfinfoPages(pdf), 2);
        QVERIFY(PdfFiles::pageText(pdf, 1).contains("合同条款Invoice"));
        QVERIFY(PdfFiles::pageText(pdf, 2).contains("付款日期Delivery"));
        QCOMPARE(files(out("pdf")), QStringList(QFileInfo(pdf).fileName()));
        // A page the corrections left as scanned goes in as the scanner's own JPEG.
        QVERIFY(store->sourceAt(0).keepsOriginal());
        QCOMPARE(PdfFiles::pages(pdf).value(0).data, scanned);
    }

    void aPageFileGoesOnlyWhenItIsKept_data()
    {
        QTest::addColumn<bool>("kept");
        QTest::newRow("kept elsewhere: deleted") << true;
        QTest::newRow("kept nowhere: stays, taken once") << false;
    }
    void aPageFileGoesOnlyWhenItIsKept()
    {
        // What was read is handed over while the file is still there: a console killed at any
        // moment leaves the page in the page folder or in the store's folder, never in neither.
        QFETCH(bool, kept);
        putPage("1.jpg", 30, 20);
        const QByteArray bytes = readAll(temp("1.jpg"));
        const PageFolder folder("/tmp/tempimages");
        QSet<QByteArray> seen;
        bool stillThere = false;
        const PageFolder::Page page = folder.take("1.jpg", seen, [&](const PageFolder::Page &read) {
            stillThere = QFile::exists(temp("1.jpg")) && read.bytes == bytes && read.complete;
            return kept;
        });
        QVERIFY(stillThere);
        QCOMPARE(page.state, kept ? PageFolder::Page::Taken : PageFolder::Page::Kept);
        QCOMPARE(QFile::exists(temp("1.jpg")), !kept);
        if (!kept)
            QCOMPARE(folder.take("1.jpg", seen).state, PageFolder::Page::Known);
    }

    void pagesOfEveryKindAreCorrected_data()
    {
        // Black and white pages (the record's default) of formats the decoder does not give as
        // 8-bit grey or 32-bit colour: thresholded by their grey values like any other page.
        QTest::addColumn<QImage>("page");
        QImage palette = TestPages::randomImage(QImage::Format_Indexed8, 64, 48, 5);
        for (int i = 0; i < 256; ++i) // index i shows grey 255 - i
            palette.setColor(i, qRgb(255 - i, 255 - i, 255 - i));
        QTest::newRow("palette") << palette;
        QImage grey16(64, 48, QImage::Format_Grayscale16);
        for (int y = 0; y < grey16.height(); ++y)
            for (int x = 0; x < grey16.width(); ++x)
                reinterpret_cast<quint16 *>(grey16.scanLine(y))[x] =
                    quint16((x * 997 + y * 131) * 53);
        QTest::newRow("16-bit grey") << grey16;
        QTest::newRow("1-bit") << TestPages::randomImage(QImage::Format_Mono, 64, 48, 6)
                                      .convertToFormat(QImage::Format_Mono,
                                                       {qRgb(0, 0, 0), qRgb(255, 255, 255)});
    }
    void pagesOfEveryKindAreCorrected()
    {
        QFETCH(QImage, page);
        QVERIFY(page.save(temp("page.jpg"), "PNG")); // a PNG under the scan program's name
        QImage expected = QImage(temp("page.jpg")).convertToFormat(QImage::Format_Grayscale8);
        QVERIFY(!expected.isNull());
        ImageAlgorithm::Threshold(&expected);
        QCOMPARE(collect(false), 0);
        QCOMPARE(store->count(), 1);
        QCOMPARE(store->imageAt(0).format(), expected.format()); // the black and white result
        QCOMPARE(store->imageAt(0).convertToFormat(QImage::Format_Grayscale8),
                 expected.convertToFormat(QImage::Format_Grayscale8));
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
        QVector<int> pipes;
        for (int i = 0; i < names; ++i) {
            const QString n = QString::number(i);
            QVERIFY(TestPages::randomImage(QImage::Format_RGB32, 700, 700, i)
                        .save(side + "page" + n, "JPG"));
            QCOMPARE(::mkfifo(QFile::encodeName(side + "pipe" + n).constData(), 0600), 0);
            pipes << ::open(QFile::encodeName(side + "pipe" + n).constData(), O_RDWR | O_NONBLOCK);
            QVERIFY(pipes.last() >= 0 && ::link(QFile::encodeName(side + "page" + n),
                                                QFile::encodeName(temp(n + ".jpg"))) == 0);
        }
        std::atomic<bool> stop(false);
        std::thread flipper([&] {
            const auto path = [](const QString &p) { return QFile::encodeName(p); };
            while (!stop) {
                for (int i = 0; i < names; ++i) // the pipe replaces the page file's name
                    ::rename(path(side + "pipe" + QString::number(i)),
                             path(temp(QString::number(i) + ".jpg")));
                usleep(200);
                for (int i = 0; i < names; ++i) { // the pipe moves out, a page file comes back
                    const QString n = QString::number(i), name = temp(n + ".jpg");
                    struct stat atName, pipe;
                    if (::lstat(path(name), &atName) == 0 && ::fstat(pipes[i], &pipe) == 0 &&
                        atName.st_ino == pipe.st_ino)
                        ::rename(path(name), path(side + "pipe" + n));
                    ::link(path(side + "page" + n), path(side + "new"));
                    if (renameat2(AT_FDCWD, path(side + "new"), AT_FDCWD, path(name),
                                  RENAME_NOREPLACE) != 0)
                        ::unlink(path(side + "new"));
                }
                usleep(600);
            }
        });
        QVector<int> links(names, -1);
        const auto linksOfPipes = [&] {
            for (int i = 0; i < names; ++i) {
                struct stat st;
                if (pipes[i] >= 0 && ::fstat(pipes[i], &st) == 0 && S_ISFIFO(st.st_mode))
                    links[i] = int(st.st_nlink);
            }
        };
        collect(false, 3, [&] { // a blocked reader sees the end once our ends are closed
            stop = true;
            linksOfPipes();
            for (int &fd : pipes)
                ::close(fd), fd = -1;
        });
        stop = true;
        flipper.join();
        linksOfPipes();
        for (int fd : pipes)
            ::close(fd);
        QCOMPARE(links, QVector<int>(names, 1));

        // Nothing is stuck: once every name holds a page file again, the next run takes them all.
        for (int i = 0; i < names; ++i) {
            const QString n = QString::number(i);
            const QByteArray name = QFile::encodeName(temp(n + ".jpg"));
            struct stat st;
            if (::lstat(name, &st) == 0 && S_ISFIFO(st.st_mode))
                QCOMPARE(::rename(name, QFile::encodeName(side + "pipe" + n)), 0);
            if (::lstat(name, &st) != 0)
                QCOMPARE(::link(QFile::encodeName(side + "page" + n), name), 0);
        }
        const int before = store->count();
        QCOMPARE(collect(false), 0);
        QCOMPARE(store->count(), before + names);
    }

    // The two stages keep the order of one: pages in the store and their files in name order,
    // named by the store's numbering one after the other (failed pages included, as empty
    // pages), every page exactly as corrected, the sweep reported with the count before it. A
    // page the corrections left alone is kept as its file; the stages work side by side.
    void pipelineKeepsOrderAndNames_data()
    {
        QTest::addColumn<bool>("corrected");
        QTest::newRow("corrected") << true;
        QTest::newRow("as scanned") << false;
    }
    void pipelineKeepsOrderAndNames()
    {
        QFETCH(bool, corrected);
        p.image_type = 2; // colour: no black and white step
        p.brightness_correct = corrected ? 12.0f : 0.0f;
        p.save_type = SaveFormat::Png; // the slow writer: the first stage runs ahead of it
        p.name = "Batch";
        const int pages = 10;
        const QList<int> failing{3, 7};
        QList<QImage> expected;
        for (int i = 0; i < pages; ++i) {
            const QString name = QString("p%1.jpg").arg(i, 2, 10, QChar('0'));
            if (failing.contains(i)) {
                putFile(temp(name), "no image");
                expected << QImage();
                continue;
            }
            putPage(name, 450, 600);
            QImage page;
            QCOMPARE(PageDecoder::decode(readAll(temp(name)), &page), PageDecoder::Decoded);
            PageCorrector::correct(&page, p.scanSettings());
            expected << page;
        }
        QCOMPARE(collect(true), 0);
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
        putFile(temp("0.jpg"), "no image");
        putPage("1.jpg", 320, 200);
        putPage("2.jpg", 160, 240);
        QCOMPARE(collect(true), 0);
        QCOMPARE(m_counts.failedPages, 1);
        // Three pages collected, the two good ones saved; the first file is the first page's,
        // or the merged PDF named after the empty page.
        const bool merged = SaveFormat::isMerged(saveType);
        QCOMPARE(m_counts.collected, 3);
        QCOMPARE(m_counts.saved, 2);
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
