#include "imaging/ImageAlgorithm.h"
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
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// The page collector on real files in "/tmp/tempimages" and the page writers: sweeps, deletion,
// corrections, files that are no pages, every output format, empty pages and failed writes.
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
    static void limitFileSize(rlim_t bytes)
    {
        const rlimit limit{bytes, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
    }

    // One collector, asked to stop (as by the scan runner) once no page file is left, or before
    // it starts. Returns the failed saves, which must be reported for the destination folder.
    int collect(bool save, bool stopAtOnce = false)
    {
        ReadImageThread thread;
        thread.SetSaveFlag(save);
        m_updates.clear();
        connect(&thread, &ReadImageThread::UpdateImage, this, [&](int first) {
            m_updates << first;
            if (QDir("/tmp/tempimages", "*.jpg", QDir::Name, QDir::Files).count() == 0)
                thread.Finish();
        });
        bool finished = false;
        connect(&thread, &ReadImageThread::ThreadFinished, this, [&] { finished = true; });
        if (stopAtOnce)
            thread.Finish();
        thread.start();
        if (!QTest::qWaitFor([&] { return finished; }, 120000))
            qWarning("the collector did not finish");
        thread.Finish();
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
        p.save_path = out().chopped(1); // the record's black and white thresholds each page
    }
    void cleanup()
    {
        limitFileSize(RLIM_INFINITY);
        QFile::remove(temp("pipe.jpg")); // the shared clean-up leaves special files
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
        QCOMPARE(collect(false, stopAtOnce), 0);
        QCOMPARE(m_updates, stopAtOnce ? QList<int>{0} : QList<int>({0, 3})); // count before
        QVERIFY(*store->at(0)->image == first);
        QVERIFY(store->count() == 3 && store->at(1)->image->width() == 30 &&
                store->at(2)->image->width() == 50);
        QCOMPARE(files("/tmp/tempimages"), QStringList({"note.txt", "pipe.jpg"}));
        QVERIFY(QDir().rmdir(temp("folder.jpg")) && !QDir(out()).exists()); // nothing written
    }

    void savesEveryFormat_data()
    {
        QTest::addColumn<int>("saveType");
        for (int type = SaveFormat::Jpg; type <= SaveFormat::MergedPdf; ++type)
            QTest::newRow(qPrintable(QString::number(type) + SaveFormat::suffix(type))) << type;
    }
    void savesEveryFormat()
    {
        // An unreadable page and two pages into a missing folder, then a page on a full disk:
        // neither the empty nor the last is written, both are reported, the files before stay
        // whole. The merged PDF is named after the empty page and holds the two good ones.
        QFETCH(int, saveType);
        p.save_type = saveType;
        p.save_path = out("a/b");
        putFile(temp("0.jpg"), "");
        putPage("1.jpg", 320, 200);
        putPage("2.jpg", 160, 240);
        QCOMPARE(collect(true), 1);
        putPage("3.jpg", 12, 12);
        limitFileSize(64);
        QCOMPARE(collect(true), 1);
        limitFileSize(RLIM_INFINITY);
        QCOMPARE(store->count(), 4);
        const bool merged = saveType == SaveFormat::MergedPdf;
        QStringList expected;
        for (int i = merged ? 0 : 1; i < (merged ? 1 : 3); ++i) {
            const QString file = out("a/b/" + store->at(i)->name + SaveFormat::suffix(saveType));
            expected << QFileInfo(file).fileName();
            const QByteArray pdf = readAll(file); // complete, every page A4
            if (saveType == SaveFormat::Pdf || merged)
                QVERIFY(pdf.startsWith("%PDF-") && pdf.endsWith("%%EOF\n") &&
                        pdf.count("/MediaBox") == 1 + merged &&
                        pdf.count("/MediaBox [0 0 595.000000 842.000000]") == 1 + merged);
            else if (saveType == SaveFormat::Ofd)
                QVERIFY(pdf.startsWith("PK\x03\x04")); // a zip package
            else
                QCOMPARE(QImage(file).size(), store->at(i)->image->size());
        }
        QCOMPARE(files(out("a/b")), expected); // nothing else: no ".pdf" beside an ".ofd"

        // The writer alone: a failed write keeps the file of that name, a good one replaces it.
        const QString target = out("page" + SaveFormat::suffix(saveType));
        putFile(target, "good");
        const auto write = [&](const QImage &image) {
            return merged ? PdfPageWriter::writeMerged({QImage(), image, image}, target)
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
};

SCANCONSOLE_TEST_MAIN(TestReadImageThread)
#include "tst_readimagethread.moc"
