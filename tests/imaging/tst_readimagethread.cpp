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
#include <QFile>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// The page collector on real files in "/tmp/tempimages" and the page writers: sweeps,
// deletion, storing, saving in every format, failed and partial writes, and files that are no
// pages.
class TestReadImageThread : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_out = nullptr;
    ParamSetting &p = ParamSetting::instance;
    ImageManager *store() { return ImageManager::Instance(); }

    struct Run
    {
        QList<int> updates;
        int finished = 0, failedSaves = 0;
        QString failedFolder;
    };

    static QString temp(const QString &name)
    {
        return QString::fromLatin1(ReadImageThread::TempDir) + "/" + name;
    }
    static void putPage(const QString &name, int width, int height, quint32 seed)
    {
        QVERIFY(TestPages::randomImage(QImage::Format_RGB32, width, height, seed)
                    .save(temp(name), "JPG"));
    }
    static void putFile(const QString &path, const QByteArray &content)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // A PDF with `pages` page objects ("/Type /Page", not the "/Type /Pages" tree), all A4.
    static bool isA4Pdf(const QByteArray &pdf, int pages)
    {
        // Only the text right after each key: the rest of the file is mostly image data.
        const QRegularExpression a4(R"(^/MediaBox\s*\[\s*0\s+0\s+595(\.\d*)?\s+842(\.0*)?\s*\])");
        int boxes = 0;
        for (int at = pdf.indexOf("/MediaBox"); at >= 0; at = pdf.indexOf("/MediaBox", at + 1)) {
            if (!a4.match(QString::fromLatin1(pdf.mid(at, 60))).hasMatch())
                return false;
            ++boxes;
        }
        return pdf.startsWith("%PDF") && boxes == pages &&
               pdf.count("/Type /Page") - pdf.count("/Type /Pages") == pages;
    }
    QString out(const QString &name = QString()) const
    {
        return m_out->path() + "/out" + (name.isEmpty() ? QString() : "/" + name);
    }
    static QStringList files(const QString &folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    static void setFileSizeLimit(rlim_t bytes)
    {
        rlimit limit{bytes, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
    }

    // One collector that makes `sweeps` sweeps before it is asked to finish (so one more
    // follows, as when the scan runner reports its result), or none with sweeps == 0.
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
        for (const QString &name : files(ReadImageThread::TempDir))
            QFile::remove(temp(name));
        TestEnvironment::clearTempImages();
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
        putPage("b.jpg", 30, 20, 1);
        putPage("A.jpg", 40, 20, 2);
        putPage("c.JPG", 50, 20, 3);
        putFile(temp("note.txt"), "");
        const QImage loaded(temp("A.jpg"));
        const Run run = collect(false); // a preview
        QCOMPARE(run.finished, 1);
        QCOMPARE(run.updates, QList<int>({0, 3})); // count before each sweep
        QCOMPARE(store()->count(), 3);
        QCOMPARE(*store()->at(0)->image, loaded); // stored exactly as loaded
        QCOMPARE(store()->at(1)->image->width(), 30);
        QCOMPARE(store()->at(2)->image->width(), 50);
        // Every page file is taken away; other files stay. A preview writes nothing.
        QCOMPARE(files(ReadImageThread::TempDir), QStringList({"note.txt"}));
        QVERIFY(!QDir(out()).exists());
        QCOMPARE(run.failedSaves, 0);
    }

    void finishBeforeStartMakesNoSweep()
    {
        putPage("p.jpg", 10, 10, 5);
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
        p.save_path = out("a/b"); // missing: created with its parents
        putPage("1.jpg", 320, 200, 6);
        putPage("2.jpg", 160, 240, 7);
        QCOMPARE(collect(true).failedSaves, 0);
        QCOMPARE(store()->count(), 2);
        QStringList expected;
        for (int i = 0; i < 2; ++i)
            expected << store()->at(i)->name + suffix;
        expected.sort();
        QCOMPARE(files(out("a/b")), expected); // nothing else, no ".pdf" beside an ".ofd"
        for (int i = 0; i < 2; ++i) {
            const QString file = out("a/b/" + store()->at(i)->name + suffix);
            if (saveType == 1 || saveType == 3)
                QVERIFY2(isA4Pdf(readAll(file), 1), qPrintable(file));
            else
                QCOMPARE(QImage(file).size(), store()->at(i)->image->size());
        }
    }

    void mergedPdfLeavesEmptyPagesOut()
    {
        p.save_type = 6;
        putFile(temp("1.jpg"), ""); // an empty first page: the scale comes from the next one
        putPage("2.jpg", 300, 400, 8);
        putPage("3.jpg", 300, 400, 9);
        putPage("4.jpg", 400, 300, 10);
        const Run run = collect(true);
        QCOMPARE(store()->count(), 4);
        QVERIFY(store()->at(0)->image->isNull());
        const QString file = store()->at(0)->name + ".pdf"; // named after the first page
        QCOMPARE(files(out()), QStringList({file}));
        QVERIFY(isA4Pdf(readAll(out(file)), 3)); // the empty page is left out...
        QCOMPARE(run.failedSaves, 1);            // ...and reported
        QCOMPARE(run.failedFolder, out());
    }

    void failedRewriteKeepsSavedPages()
    {
        p.save_type = 6;
        putPage("1.jpg", 400, 500, 11);
        putPage("2.jpg", 400, 500, 12);
        QCOMPARE(collect(true).failedSaves, 0);
        const QString file = out(store()->at(0)->name + ".pdf");
        const QByteArray before = readAll(file);
        QVERIFY(isA4Pdf(before, 2));
        // The next rewrite cannot be written whole (the disk "fills up"); Qt's PDF output does
        // not report that itself.
        putPage("3.jpg", 400, 500, 13);
        setFileSizeLimit(rlim_t(before.size()) + 2000);
        const Run run = collect(true);
        setFileSizeLimit(RLIM_INFINITY);
        QCOMPARE(store()->count(), 3);
        QCOMPARE(run.failedSaves, 1);
        QCOMPARE(readAll(file), before); // the two pages saved so far are intact
        QCOMPARE(files(out()), QStringList({QFileInfo(file).fileName()})); // no leftovers
    }

    void unwritableFolderIsReported_data()
    {
        QTest::addColumn<int>("saveType");
        QTest::newRow("PNG") << 4;
        QTest::newRow("PDF") << 1;
        QTest::newRow("merged PDF") << 6; // one rewrite per page
    }

    void unwritableFolderIsReported()
    {
        QFETCH(int, saveType);
        QDir().mkpath(out());
        putFile(out("file"), "");
        p.save_path = out("file/pages"); // below a regular file: cannot exist
        p.save_type = saveType;
        putPage("1.jpg", 20, 20, 15);
        putPage("2.jpg", 20, 20, 16);
        const Run run = collect(true);
        QCOMPARE(store()->count(), 2); // still collected and shown
        QCOMPARE(run.failedSaves, 2);
        QCOMPARE(run.failedFolder, out("file/pages"));
        QVERIFY(QDir(ReadImageThread::TempDir).isEmpty());
    }

    void writerErrorIsReported()
    {
        p.save_type = 4;
        QDir().mkpath(out());
        putPage("1.jpg", 300, 300, 17);
        setFileSizeLimit(4096); // too small for the PNG
        const Run run = collect(true);
        setFileSizeLimit(RLIM_INFINITY);
        QCOMPARE(run.failedSaves, 1);
        QVERIFY(files(out()).isEmpty()); // no half-written file
    }

    void writersSkipEmptyPages()
    {
        QDir().mkpath(out());
        for (int type : {SaveFormat::Jpg, SaveFormat::Pdf, SaveFormat::Tiff, SaveFormat::Ofd,
                         SaveFormat::Png, SaveFormat::Bmp})
            QVERIFY(!PageWriter::write(QImage(), type, out("empty" + SaveFormat::suffix(type))));
        QVERIFY(!PdfPageWriter::write(QImage(), out("empty.pdf")));
        QVERIFY(files(out()).isEmpty());
        // Nothing but empty pages: nothing is written, an existing file stays.
        putFile(out("merged.pdf"), "old");
        QVERIFY(!PdfPageWriter::writeMerged({QImage(), QImage()}, out("merged.pdf")));
        QCOMPARE(readAll(out("merged.pdf")), QByteArray("old"));
    }

    void filesThatAreNoPages()
    {
        p.save_type = 0;
        QDir().mkpath(temp("folder.jpg"));
        putFile(temp("folder.jpg/inside.txt"), "");
        QCOMPARE(::mkfifo(QFile::encodeName(temp("pipe.jpg")).constData(), 0600), 0);
        putFile(temp("empty.jpg"), "");
        putFile(temp("text.jpg"), "this is no image\n");
        putPage("whole.jpg", 200, 150, 18);
        const QByteArray jpeg = readAll(temp("whole.jpg"));
        putFile(temp("truncated.jpg"), jpeg.left(jpeg.size() / 3));

        const Run run = collect(true);
        QCOMPARE(run.finished, 1);
        // The directory and the pipe are left alone; every file is taken.
        QVERIFY(QFileInfo::exists(temp("folder.jpg/inside.txt")));
        QVERIFY(QFileInfo::exists(temp("pipe.jpg")));
        for (const char *name : {"empty.jpg", "text.jpg", "truncated.jpg", "whole.jpg"})
            QVERIFY2(!QFile::exists(temp(name)), name);
        // Each file became a page; an unreadable one an empty page, which is not saved.
        QCOMPARE(store()->count(), 4);
        int empty = 0;
        for (int i = 0; i < 4; ++i)
            empty += store()->at(i)->image->isNull();
        QVERIFY(store()->at(0)->image->isNull());  // empty.jpg
        QVERIFY(store()->at(1)->image->isNull());  // text.jpg
        QVERIFY(!store()->at(3)->image->isNull()); // whole.jpg
        QCOMPARE(run.failedSaves, empty);
        QCOMPARE(files(out()).size(), 4 - empty);
    }

    void hugePage()
    {
        // 600 dpi A3 in colour, with corrections and a JPEG to write.
        QImage page(7016, 9921, QImage::Format_RGB32);
        QVERIFY(!page.isNull());
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                reinterpret_cast<QRgb *>(page.scanLine(y))[x] =
                    qRgb((x >> 3) & 255, (y >> 3) & 255, ((x ^ y) >> 4) & 255);
        QVERIFY(page.save(temp("huge.jpg"), "JPG"));
        page = QImage();
        p.save_type = 0;
        p.brightness = 90;
        p.filter = 1;
        p.image_type = 0;
        p.halftone = 0;
        QCOMPARE(collect(true).failedSaves, 0);
        QCOMPARE(store()->count(), 1);
        QCOMPARE(store()->at(0)->image->size(), QSize(7016, 9921));
        QCOMPARE(store()->at(0)->image->format(), QImage::Format_Indexed8);
        QCOMPARE(QImageReader(out(store()->at(0)->name + ".jpg")).size(), QSize(7016, 9921));
    }
};

SCANCONSOLE_TEST_MAIN(TestReadImageThread)
#include "tst_readimagethread.moc"
