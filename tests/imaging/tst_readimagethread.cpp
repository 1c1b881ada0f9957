#include "imaging/ImageManager.h"
#include "imaging/ReadImageThread.h"
#include "settings/ParamSetting.h"
#include "tests/imaging/PdfInspection.h"
#include "tests/imaging/TestPages.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// The page collector on real files in "/tmp/tempimages": sweeps, deletion, storing, saving in
// every format, and what it does with folders it cannot write and files that are no pages.
class TestReadImageThread : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *m_out = nullptr;
    ParamSetting &p = ParamSetting::instance;
    ImageManager *store() { return ImageManager::Instance(); }

    struct Run
    {
        QList<int> updates;
        int finished = 0;
        int failedSaves = 0;
        QString failedFolder;
    };

    static QString temp(const QString &name)
    {
        return QString::fromLatin1(ReadImageThread::TempDir) + "/" + name;
    }

    static void putPage(const QString &name, const QImage &image)
    {
        QVERIFY(image.save(temp(name), "JPG"));
    }

    static QImage colourPage(int width, int height, quint32 seed)
    {
        return TestPages::randomImage(QImage::Format_RGB32, width, height, seed);
    }

    QString out(const QString &name = QString()) const
    {
        return m_out->path() + "/out" + (name.isEmpty() ? QString() : "/" + name);
    }

    QStringList outFiles(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }

    // Runs one collector: it makes `sweeps` sweeps before it is asked to finish (so one more
    // sweep follows, as when the scan runner reports its result), or none with sweeps == 0.
    Run collect(bool save, int sweeps = 1)
    {
        Run run;
        ReadImageThread thread;
        thread.SetSaveFlag(save);
        connect(&thread, &ReadImageThread::UpdateImage, this, [&](int first) {
            run.updates << first;
            if (run.updates.size() == sweeps)
                thread.Finish();
        });
        connect(&thread, &ReadImageThread::ThreadFinished, this, [&] { ++run.finished; });
        if (sweeps == 0)
            thread.Finish();
        thread.start();
        if (!QTest::qWaitFor([&] { return run.finished > 0; }, 120000))
            qWarning("collector did not finish");
        thread.wait();
        QCoreApplication::processEvents();
        run.failedSaves = thread.failedSaves();
        run.failedFolder = thread.failedFolder();
        return run;
    }

    // The shared clean-up leaves special files (the pipe below); this takes them too.
    static void clearTempImages()
    {
        QDir dir(ReadImageThread::TempDir);
        for (const QString &name :
             dir.entryList(QDir::System | QDir::Hidden | QDir::NoDotAndDotDot))
            if (!QFileInfo(dir.filePath(name)).isDir())
                QFile::remove(dir.filePath(name));
        TestEnvironment::clearTempImages();
    }

    static void setFileSizeLimit(rlim_t bytes)
    {
        rlimit limit{bytes, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
    }

private slots:
    void initTestCase()
    {
        // Writes beyond a file size limit fail with EFBIG instead of killing the process.
        std::signal(SIGXFSZ, SIG_IGN);
    }

    void init()
    {
        clearTempImages();
        TestEnvironment::resetRecord();
        store()->ClearImages();
        m_out = new QTemporaryDir;
        p.save_path = out();
        p.image_type = 2; // colour: no correction at all
        p.name = "Page";
    }

    void cleanup()
    {
        setFileSizeLimit(RLIM_INFINITY);
        clearTempImages();
        store()->ClearImages();
        delete m_out;
        m_out = nullptr;
    }

    void oneSweepTakesAllFilesInNameOrder()
    {
        putPage("b.jpg", colourPage(30, 20, 1));
        putPage("A.jpg", colourPage(40, 20, 2));
        putPage("c.JPG", colourPage(50, 20, 3));
        QFile note(temp("note.txt"));
        QVERIFY(note.open(QIODevice::WriteOnly));
        note.close();

        const Run run = collect(false); // a preview
        QCOMPARE(run.finished, 1);
        QCOMPARE(run.updates, QList<int>({0, 3})); // count before each sweep
        QCOMPARE(store()->count(), 3);
        QCOMPARE(store()->at(0)->image->width(), 40);
        QCOMPARE(store()->at(1)->image->width(), 30);
        QCOMPARE(store()->at(2)->image->width(), 50);
        // Every page file is taken away; other files stay. A preview writes nothing.
        QCOMPARE(QDir(ReadImageThread::TempDir).entryList(QDir::Files), QStringList({"note.txt"}));
        QVERIFY(!QDir(out()).exists());
        QCOMPARE(run.failedSaves, 0);
    }

    void storedExactlyAsLoaded()
    {
        const QImage page = colourPage(64, 48, 4);
        putPage("p.jpg", page);
        const QImage loaded(temp("p.jpg"));
        collect(false);
        QCOMPARE(store()->count(), 1);
        QCOMPARE(*store()->at(0)->image, loaded);
    }

    void finishBeforeStartMakesNoSweep()
    {
        putPage("p.jpg", colourPage(10, 10, 5));
        const Run run = collect(true, 0);
        QCOMPARE(run.finished, 1);
        QVERIFY(run.updates.isEmpty());
        QVERIFY(QFile::exists(temp("p.jpg")));
        QCOMPARE(store()->count(), 0);
    }

    void savesEveryFormat_data()
    {
        QTest::addColumn<int>("saveType");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("JPG") << 0 << ".jpg";
        QTest::newRow("PDF") << 1 << ".pdf";
        QTest::newRow("TIFF") << 2 << ".tiff";
        QTest::newRow("OFD") << 3 << ".ofd";
        QTest::newRow("PNG") << 4 << ".png";
        QTest::newRow("BMP") << 5 << ".bmp";
    }

    void savesEveryFormat()
    {
        QFETCH(int, saveType);
        QFETCH(QString, suffix);
        p.save_type = saveType;
        putPage("1.jpg", colourPage(320, 200, 6));
        putPage("2.jpg", colourPage(160, 240, 7));
        const Run run = collect(true);
        QCOMPARE(run.failedSaves, 0);
        QCOMPARE(store()->count(), 2);
        QStringList expected;
        for (int i = 0; i < 2; ++i)
            expected << store()->at(i)->name + suffix;
        expected.sort();
        QCOMPARE(outFiles(out()), expected); // nothing else, no ".pdf" beside an ".ofd"
        for (int i = 0; i < 2; ++i) {
            const QString file = out(store()->at(i)->name + suffix);
            if (saveType == 1 || saveType == 3) {
                const QByteArray pdf = PdfInspection::readAll(file);
                QVERIFY(pdf.startsWith("%PDF"));
                QCOMPARE(PdfInspection::pageCount(pdf), 1);
                QVERIFY(PdfInspection::isA4(pdf));
            } else {
                const QImage back(file);
                QVERIFY2(!back.isNull(), qPrintable(file));
                QCOMPARE(back.size(), store()->at(i)->image->size());
            }
        }
    }

    void mergedPdfNamedAfterFirstPage()
    {
        p.save_type = 6;
        putPage("1.jpg", colourPage(300, 400, 8));
        QFile(temp("2.jpg")).open(QIODevice::WriteOnly); // an empty page file
        putPage("3.jpg", colourPage(300, 400, 9));
        putPage("4.jpg", colourPage(400, 300, 10));
        const Run run = collect(true);
        QCOMPARE(store()->count(), 4);
        QVERIFY(store()->at(1)->image->isNull());
        const QString file = store()->at(0)->name + ".pdf";
        QCOMPARE(outFiles(out()), QStringList({file}));
        const QByteArray pdf = PdfInspection::readAll(out(file));
        QCOMPARE(PdfInspection::pageCount(pdf), 3); // the empty page is left out...
        QVERIFY(PdfInspection::isA4(pdf));
        QCOMPARE(run.failedSaves, 1); // ...and reported
        QCOMPARE(run.failedFolder, out());
    }

    void failedRewriteKeepsSavedPages()
    {
        p.save_type = 6;
        putPage("1.jpg", colourPage(400, 500, 11));
        putPage("2.jpg", colourPage(400, 500, 12));
        QCOMPARE(collect(true).failedSaves, 0);
        const QString file = out(store()->at(0)->name + ".pdf");
        const QByteArray before = PdfInspection::readAll(file);
        QCOMPARE(PdfInspection::pageCount(before), 2);

        // The next rewrite cannot be written whole (the disk "fills up").
        putPage("3.jpg", colourPage(400, 500, 13));
        setFileSizeLimit(rlim_t(before.size()) + 2000);
        const Run run = collect(true);
        setFileSizeLimit(RLIM_INFINITY);
        QCOMPARE(store()->count(), 3);
        QCOMPARE(run.failedSaves, 1);
        QCOMPARE(PdfInspection::readAll(file), before); // the two pages saved so far are intact
        QCOMPARE(outFiles(out()), QStringList({QFileInfo(file).fileName()})); // no leftovers
    }

    void missingFolderIsCreated()
    {
        p.save_path = out("a/b/c");
        p.save_type = 0;
        putPage("1.jpg", colourPage(20, 20, 14));
        const Run run = collect(true);
        QCOMPARE(run.failedSaves, 0);
        QCOMPARE(outFiles(out("a/b/c")), QStringList({store()->at(0)->name + ".jpg"}));
    }

    void unwritableFolderIsReported_data()
    {
        QTest::addColumn<int>("saveType");
        QTest::addColumn<int>("failures");
        QTest::newRow("PNG") << 4 << 2;
        QTest::newRow("PDF") << 1 << 2;
        QTest::newRow("merged PDF") << 6 << 2; // one rewrite per page
    }

    void unwritableFolderIsReported()
    {
        QFETCH(int, saveType);
        QFETCH(int, failures);
        QDir().mkpath(out());
        QFile blocker(out("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        p.save_path = out("file/pages"); // below a regular file: cannot exist
        p.save_type = saveType;
        putPage("1.jpg", colourPage(20, 20, 15));
        putPage("2.jpg", colourPage(20, 20, 16));
        const Run run = collect(true);
        QCOMPARE(store()->count(), 2); // still collected and shown
        QCOMPARE(run.failedSaves, failures);
        QCOMPARE(run.failedFolder, out("file/pages"));
        QVERIFY(QDir(ReadImageThread::TempDir).isEmpty());
    }

    void writerErrorIsReported()
    {
        p.save_type = 4;
        QDir().mkpath(out());
        putPage("1.jpg", colourPage(300, 300, 17));
        setFileSizeLimit(4096); // too small for the PNG
        const Run run = collect(true);
        setFileSizeLimit(RLIM_INFINITY);
        QCOMPARE(run.failedSaves, 1);
        QVERIFY(outFiles(out()).isEmpty()); // no half-written file
    }

    void filesThatAreNoPages()
    {
        p.save_type = 0;
        QDir().mkpath(temp("folder.jpg"));
        QFile(temp("folder.jpg/inside.txt")).open(QIODevice::WriteOnly);
        QCOMPARE(::mkfifo(QFile::encodeName(temp("pipe.jpg")).constData(), 0600), 0);
        QFile(temp("empty.jpg")).open(QIODevice::WriteOnly);
        {
            QFile text(temp("text.jpg"));
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("this is no image\n");
        }
        putPage("whole.jpg", colourPage(200, 150, 18));
        {
            const QByteArray jpeg = PdfInspection::readAll(temp("whole.jpg"));
            QFile cut(temp("truncated.jpg"));
            QVERIFY(cut.open(QIODevice::WriteOnly));
            cut.write(jpeg.left(jpeg.size() / 3));
        }

        const Run run = collect(true);
        QCOMPARE(run.finished, 1);
        // The directory and the pipe are left alone; every file is taken.
        QVERIFY(QFileInfo(temp("folder.jpg/inside.txt")).exists());
        QVERIFY(QFileInfo::exists(temp("pipe.jpg")));
        for (const char *name : {"empty.jpg", "text.jpg", "truncated.jpg", "whole.jpg"})
            QVERIFY2(!QFile::exists(temp(name)), name);
        // Each file became a page; an unreadable one an empty page, which is not saved.
        QCOMPARE(store()->count(), 4);
        int empty = 0;
        for (int i = 0; i < 4; ++i) {
            QVERIFY(store()->at(i)->image != nullptr);
            empty += store()->at(i)->image->isNull();
        }
        QVERIFY(store()->at(0)->image->isNull());  // empty.jpg
        QVERIFY(store()->at(1)->image->isNull());  // text.jpg
        QVERIFY(!store()->at(3)->image->isNull()); // whole.jpg
        QCOMPARE(run.failedSaves, empty);
        QCOMPARE(outFiles(out()).size(), 4 - empty);
    }

    void hugePage()
    {
        // 600 dpi A3 in colour, with corrections and a JPEG to write.
        QImage page(7016, 9921, QImage::Format_RGB32);
        QVERIFY(!page.isNull());
        for (int y = 0; y < page.height(); ++y) {
            QRgb *line = reinterpret_cast<QRgb *>(page.scanLine(y));
            for (int x = 0; x < page.width(); ++x)
                line[x] = qRgb((x >> 3) & 255, (y >> 3) & 255, ((x ^ y) >> 4) & 255);
        }
        putPage("huge.jpg", page);
        page = QImage();
        p.save_type = 0;
        p.brightness = 90;
        p.filter = 1;
        p.image_type = 0;
        p.halftone = 0;
        const Run run = collect(true);
        QCOMPARE(run.failedSaves, 0);
        QCOMPARE(store()->count(), 1);
        QCOMPARE(store()->at(0)->image->size(), QSize(7016, 9921));
        QCOMPARE(store()->at(0)->image->format(), QImage::Format_Indexed8);
        QCOMPARE(QImageReader(out(store()->at(0)->name + ".jpg")).size(), QSize(7016, 9921));
    }
};

SCANCONSOLE_TEST_MAIN(TestReadImageThread)
#include "tst_readimagethread.moc"
