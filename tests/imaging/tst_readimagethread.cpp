#include "imaging/ImageManager.h"
#include "imaging/PageWriter.h"
#include "imaging/PdfPageWriter.h"
#include "imaging/ReadImageThread.h"
#include "imaging/SaveFormat.h"
#include "settings/ParamSetting.h"
#include "tests/imaging/TestPages.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// The page collector on real files in "/tmp/tempimages" and the page writers: sweeps, deletion,
// every output format, empty pages, failed writes and files that are no pages.
class TestReadImageThread : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ParamSetting &p = ParamSetting::instance;
    ImageManager *store = ImageManager::Instance();
    QList<int> m_updates;

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
    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QStringList files(const QString &folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    // The number of pages of a complete PDF whose every page is A4, else -1.
    static int a4Pages(const QString &path)
    {
        const QByteArray pdf = readAll(path);
        const int a4 = pdf.count("/MediaBox [0 0 595.000000 842.000000]"); // one per page
        return pdf.startsWith("%PDF-") && pdf.endsWith("%%EOF\n") && pdf.count("/MediaBox") == a4
                   ? a4
                   : -1;
    }
    static void limitFileSize(rlim_t bytes)
    {
        const rlimit limit{bytes, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
    }

    // One collector, asked to finish (as when the scan runner reports) once the page files are
    // taken, so one more sweep follows. `between` runs on the GUI thread after the first sweep.
    // Returns the failed saves, which must be reported for the destination folder.
    int collect(bool save, const std::function<void()> &between = {})
    {
        ReadImageThread thread;
        thread.SetSaveFlag(save);
        m_updates.clear();
        connect(&thread, &ReadImageThread::UpdateImage, this, [&](int first) {
            m_updates << first;
            if (m_updates.size() == 1 && between)
                between();
            else if (QDir("/tmp/tempimages", "*.jpg", QDir::Name, QDir::Files).count() == 0)
                thread.Finish();
        });
        bool finished = false;
        connect(&thread, &ReadImageThread::ThreadFinished, this, [&] { finished = true; });
        thread.start();
        if (!QTest::qWaitFor([&] { return finished; }, 120000))
            qWarning("the collector did not finish");
        thread.Finish(); // it has, unless the wait timed out
        thread.wait();
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
        p.save_path = out().chopped(1);
        p.image_type = 2; // colour: no correction at all
    }
    void cleanup()
    {
        limitFileSize(RLIM_INFINITY);
        QFile::remove(temp("pipe.jpg")); // the shared clean-up leaves special files
        TestEnvironment::clearTempImages();
        store->ClearImages();
    }

    void previewTakesAllFilesOfASweepInNameOrder()
    {
        putPage("b.jpg", 30, 20);
        putPage("A.jpg", 40, 20);
        putPage("c.JPG", 50, 20);
        putFile(temp("note.txt"), "");
        const QImage loaded(temp("A.jpg"));
        QCOMPARE(collect(false), 0);
        QCOMPARE(m_updates, QList<int>({0, 3})); // the count before each sweep
        QVERIFY(*store->at(0)->image == loaded); // neutral settings: stored exactly as loaded
        QCOMPARE(store->at(1)->image->width(), 30);
        QCOMPARE(store->at(2)->image->width(), 50);
        QCOMPARE(files("/tmp/tempimages"), QStringList("note.txt")); // page files taken
        QVERIFY(!QDir(out()).exists());                              // a preview writes nothing
    }

    void pagesLeftWhenAskedToStopAreTaken()
    {
        // The stop request comes before the first sweep: the scan program has ended, so what
        // it left belongs to this run and is not handed to the next one.
        putPage("1.jpg", 30, 20);
        putPage("2.jpg", 40, 20);
        QDir().mkdir(temp("folder.jpg")); // no page: it must not keep the collector busy
        ReadImageThread thread;
        thread.SetSaveFlag(false);
        m_updates.clear();
        connect(&thread, &ReadImageThread::UpdateImage, this,
                [&](int first) { m_updates << first; });
        thread.Finish();
        thread.start();
        QVERIFY(thread.wait(60000));
        QCoreApplication::processEvents();
        QCOMPARE(store->count(), 2);
        QCOMPARE(m_updates, QList<int>({0}));
        QCOMPARE(files("/tmp/tempimages"), QStringList());
        QDir().rmdir(temp("folder.jpg"));
    }

    void savesEveryFormat_data()
    {
        QTest::addColumn<int>("saveType");
        for (int type = SaveFormat::Jpg; type <= SaveFormat::MergedPdf; ++type)
            QTest::newRow(qPrintable(QString::number(type) + SaveFormat::suffix(type))) << type;
    }
    void savesEveryFormat()
    {
        // An unreadable first page, then two pages, into a missing folder (created with its
        // parents). The empty page is written nowhere and reported; the merged PDF is named
        // after it all the same and holds the two others.
        QFETCH(int, saveType);
        p.save_type = saveType;
        p.save_path = out("a/b");
        putFile(temp("0.jpg"), "");
        putPage("1.jpg", 320, 200);
        putPage("2.jpg", 160, 240);
        QCOMPARE(collect(true), 1);
        const bool merged = saveType == SaveFormat::MergedPdf;
        QStringList expected;
        for (int i = merged ? 0 : 1; i < (merged ? 1 : 3); ++i) {
            const QString file = out("a/b/" + store->at(i)->name + SaveFormat::suffix(saveType));
            expected << QFileInfo(file).fileName();
            if (saveType == SaveFormat::Pdf || saveType == SaveFormat::Ofd || merged)
                QCOMPARE(a4Pages(file), merged ? 2 : 1);
            else
                QCOMPARE(QImage(file).size(), store->at(i)->image->size());
        }
        QCOMPARE(files(out("a/b")), expected); // nothing else: no ".pdf" beside an ".ofd"
    }

    void failedMergedRewriteKeepsSavedPages()
    {
        p.save_type = SaveFormat::MergedPdf;
        putPage("1.jpg", 400, 500);
        putPage("2.jpg", 400, 500);
        QByteArray saved;
        const int failed = collect(true, [&] {
            saved = readAll(out(store->at(0)->name + ".pdf"));
            putPage("3.jpg", 400, 500);
            limitFileSize(rlim_t(saved.size()) + 2000); // the disk "fills up"
        });
        limitFileSize(RLIM_INFINITY);
        QCOMPARE(failed, 1);
        QCOMPARE(store->count(), 3);
        QCOMPARE(files(out()), QStringList(store->at(0)->name + ".pdf")); // no leftovers
        QCOMPARE(readAll(out(store->at(0)->name + ".pdf")), saved);       // both pages intact
        QCOMPARE(a4Pages(out(store->at(0)->name + ".pdf")), 2);
    }

    void uncreatableFolderIsReported()
    {
        QDir().mkpath(out());
        putFile(out("file"), "");
        p.save_path = out("file/pages"); // below a regular file: cannot exist
        for (int type : {SaveFormat::Png, SaveFormat::MergedPdf}) {
            p.save_type = type;
            putPage("1.jpg", 20, 20);
            putPage("2.jpg", 20, 20);
            QCOMPARE(collect(true), 2);
        }
        QCOMPARE(store->count(), 4); // still collected and shown
    }

    void failedWriteKeepsExistingFile_data()
    {
        QTest::addColumn<int>("saveType");
        for (int type = SaveFormat::Jpg; type <= SaveFormat::MergedPdf; ++type)
            QTest::newRow(qPrintable(QString::number(type) + SaveFormat::suffix(type))) << type;
    }
    void failedWriteKeepsExistingFile()
    {
        // A write that fails (an empty page, a full disk) reports it and leaves the file of that
        // name as it was; with room, the file is replaced.
        QFETCH(int, saveType);
        QDir().mkpath(out());
        const QString target = out("page" + SaveFormat::suffix(saveType));
        putFile(target, "good");
        const auto write = [&](const QImage &image) {
            return saveType == SaveFormat::MergedPdf
                       ? PdfPageWriter::writeMerged({QImage(), image, image}, target)
                       : PageWriter::write(image, saveType, target);
        };
        QVERIFY(!write(QImage()));
        limitFileSize(64);
        for (int side : {300, 12}) // written at once, or kept in the file's buffer until the end
            QVERIFY(!write(TestPages::randomImage(QImage::Format_RGB888, side, side, 1)));
        limitFileSize(RLIM_INFINITY);
        QCOMPARE(files(out()), QStringList(QFileInfo(target).fileName()));
        QCOMPARE(readAll(target), QByteArray("good"));
        QVERIFY(write(TestPages::randomImage(QImage::Format_RGB888, 12, 12, 1)));
        QVERIFY(readAll(target) != "good");
    }

    void badInput()
    {
        // Files that are no pages, broken pages and a 600 dpi A3 colour page, corrected (tone,
        // filter, black and white) and saved as JPEG.
        QDir().mkpath(temp("folder.jpg"));
        QCOMPARE(::mkfifo(QFile::encodeName(temp("pipe.jpg")).constData(), 0600), 0);
        putFile(temp("empty.jpg"), "");
        putFile(temp("text.jpg"), "this is no image\n");
        putPage("whole.jpg", 200, 150);
        putFile(temp("truncated.jpg"), readAll(temp("whole.jpg")).left(2000));
        QImage huge(7016, 9921, QImage::Format_RGB32);
        for (int y = 0; y < huge.height(); ++y)
            for (int x = 0; x < huge.width(); ++x)
                reinterpret_cast<QRgb *>(huge.scanLine(y))[x] = qRgb(x >> 3, y >> 3, (x ^ y) >> 4);
        QVERIFY(huge.save(temp("huge.jpg"), "JPG"));
        huge = QImage();
        p.brightness = 90, p.filter = 1, p.image_type = 0, p.halftone = 0;
        const int failed = collect(true);
        // The directory and the pipe stay; every file is taken and becomes a page, an
        // unreadable one an empty page, which is not saved but counted.
        QCOMPARE(files("/tmp/tempimages"), QStringList("pipe.jpg"));
        QVERIFY(QDir(temp("folder.jpg")).exists());
        QCOMPARE(store->count(), 5); // empty, huge, text, truncated, whole
        QVERIFY(store->at(0)->image->isNull() && store->at(2)->image->isNull());
        QCOMPARE(failed, 2 + int(store->at(3)->image->isNull()));
        QCOMPARE(files(out()).size(), 5 - failed);
        QCOMPARE(store->at(1)->image->format(), QImage::Format_Indexed8);
        QCOMPARE(QImageReader(out(store->at(1)->name + ".jpg")).size(), QSize(7016, 9921));
        QCOMPARE(QImageReader(out(store->at(4)->name + ".jpg")).size(), QSize(200, 150));
    }
};

SCANCONSOLE_TEST_MAIN(TestReadImageThread)
#include "tst_readimagethread.moc"
