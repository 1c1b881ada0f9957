#include "app/Startup.h"
#include "imaging/PageCorrector.h"
#include "pages/ImageManager.h"
#include "pages/LosslessPage.h"
#include "pages/PageDecoder.h"
#include "pages/PageStoreFolder.h"
#include "preview/PreviewWindow.h"
#include "scan/PageRecovery.h"
#include "scan/RunFolder.h"
#include "scan/RunSettingsFile.h"
#include "settings/ScanSettings.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPages.h"
#include "tests/support/TestRows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// Pages survive a console that ends abnormally: every page of its run, in its store folder or
// still in its run folder, is offered once at the next start, in scanner order, as saved or not;
// Yes puts them back, exactly as corrected; No deletes them; a console that still runs keeps its
// pages; nothing the folders hold is trusted. (Consoles killed in the middle of a real batch:
// tst_consoleprocess.)
class TestPageRecovery : public QObject
{
    Q_OBJECT

    ImageManager *store = ImageManager::Instance();
    QTemporaryDir m_work;
    const QString m_pageFolder = m_work.filePath("pages");

    // The run's settings: colour pages, corrected.
    static ScanSettings runSettings()
    {
        ScanSettings s;
        s.image_type = 2;
        s.brightness_correct = 12.0f;
        s.name = QStringLiteral("Batch");
        return s;
    }
    // The JPEG of test page `i` (the same seed, the same encoder every time).
    static QByteArray jpegOf(int i)
    {
        return TestFiles::jpeg(TestPages::randomImage(QImage::Format_RGB32, 600, 800, quint32(i)));
    }
    // Offers what is there, answering `button` (OK where the box has only that); the text
    // shown, "" when nothing was.
    QString offer(QMessageBox::StandardButton button, int *restored,
                  PreviewWindow *preview = nullptr)
    {
        ModalAnswerer answerer;
        answerer.expect([button](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            TestEnvironment::screenshot(box, "recovery-" + QString(QTest::currentDataTag()));
            (box->button(button) ? box->button(button) : box->button(QMessageBox::Ok))->click();
        });
        *restored = Startup::offerPageRestore(preview);
        return answerer.seen.isEmpty() ? QString() : answerer.seen.first().text;
    }
    static QString question(int pages, int unsaved)
    {
        return QString("发现上次未正常结束的扫描：共 %1 页，其中 %2 页尚未保存。是否恢复？")
            .arg(pages)
            .arg(unsaved);
    }
    // Page `n` decoded, and corrected with `settings` when given.
    static QImage page(int n, const ScanSettings *settings = nullptr)
    {
        QImage page;
        PageDecoder::decode(jpegOf(n), &page);
        if (settings)
            PageCorrector::correct(&page, *settings);
        return page;
    }
    // A folder a console left: its run folder, settings and index lines (held until die()).
    struct Dead
    {
        std::shared_ptr<PageStoreFolder> folder;
        std::shared_ptr<RunFolder> run;
        QString file(int n) const { return run->path() + QString("/tempImage-%1.jpg").arg(n); }
        // A version of the scanner's page `n` in the store, named `name`.
        int store(int n, PageStoreFolder::State state, const QString &name, bool thumbnail = false)
        {
            const int number = folder->newNumber();
            TestFiles::writeFile(folder->file(number, "page"), jpegOf(n));
            if (thumbnail)
                PageStoreFolder::write(folder->file(number, "thumb"), [&](QIODevice *d) {
                    return LosslessPage::write(ImageManager::makeThumbnail(page(n)), d);
                });
            folder->record(number, number, state, name, file(n));
            return number;
        }
        void die()
        {
            folder->keep();
            run->keep();
            folder.reset();
            run.reset();
        }
    };
    Dead deadConsole(const ScanSettings &settings)
    {
        Dead dead;
        dead.folder = PageStoreFolder::create(store->folderRoot());
        dead.run = RunFolder::create(m_pageFolder);
        RunSettingsFile::write(dead.folder->settingsFile(), settings);
        dead.folder->recordRunFolder(dead.run->path());
        return dead;
    }

private slots:
    void cleanup()
    {
        store->ClearImages();
        for (const QString &folder : PageStoreFolder::folders(store->folderRoot()))
            QDir(folder).removeRecursively();
        QDir(m_pageFolder).removeRecursively();
    }

    // Every state a page can be left in, in scanner order: stored and saved, its file still in
    // the run folder (one page); taken, not corrected yet (corrected now with the run's
    // settings); left in the run folder by a store that could not keep it; a file that gave no
    // page (not offered); turned after it was saved (the last version counts, still saved); a
    // file the collector never took (named now, on from the run's numbering). A folder without a
    // page goes without a word.
    void everyStateIsRestored()
    {
        const ScanSettings settings = runSettings();
        Dead dead = deadConsole(settings);
        QVERIFY(dead.folder && dead.run);
        dead.folder->recordSaved(dead.store(1, PageStoreFolder::Page, "first", true));
        QVERIFY(TestFiles::writeFile(dead.file(1), jpegOf(1)));
        dead.store(2, PageStoreFolder::Taken, "second");
        QVERIFY(TestFiles::writeFile(dead.file(3), jpegOf(3)));
        dead.folder->record(dead.folder->newNumber(), 0, PageStoreFolder::Left, "third",
                            dead.file(3));
        dead.folder->record(dead.folder->newNumber(), 0, PageStoreFolder::Empty, "fourth",
                            dead.file(4));
        const QString fifthName = ImageManager::pageName("Batch", 5); // as the run names pages
        const int fifth = dead.store(5, PageStoreFolder::Page, fifthName);
        dead.folder->recordSaved(fifth);
        const int turned = dead.folder->newNumber(); // a new version of the same page, lossless
        QVERIFY(PageStoreFolder::write(dead.folder->file(turned, "page"), [](QIODevice *d) {
            return LosslessPage::write(page(7), d);
        }));
        dead.folder->record(fifth, turned, PageStoreFolder::Page, fifthName);
        QVERIFY(TestFiles::writeFile(dead.file(6), jpegOf(6)));
        dead.die();
        Dead empty = deadConsole(settings);
        const QString emptyPath = empty.folder->path();
        empty.die();

        PreviewWindow preview;
        int restored = 0;
        QCOMPARE(offer(QMessageBox::Yes, &restored, &preview), question(5, 3));
        QVERIFY(restored == 5 && preview.isVisible());
        QVERIFY(!QFileInfo::exists(emptyPath));
        const QList<int> pages{1, 2, 3, 7, 6};
        for (int i = 0; i < pages.size(); ++i) {
            // Stored pages come back as stored; the scanner's files are corrected now.
            const bool stored = pages[i] == 1 || pages[i] == 7;
            const QImage expected = page(pages[i], stored ? nullptr : &settings);
            QVERIFY2(store->imageAt(i) == expected, qPrintable(QString::number(i)));
            QCOMPARE(store->at(i)->thumbnail, ImageManager::makeThumbnail(expected));
        }
        QCOMPARE(store->at(3)->name, fifthName);
        QVERIFY(store->at(4)->name.startsWith("Batch6-")); // named on from the run's numbering
        QVERIFY(store->sourceAt(0).keepsOriginal() && !store->sourceAt(1).keepsOriginal());
        // Restored, the pages keep what was saved: a second death offers them the same way.
        const QList<PageStoreFolder::Entry> now = PageStoreFolder::index(store->folderPath());
        QCOMPARE(now.size(), 5);
        QVERIFY(now.at(0).saved && !now.at(1).saved && now.at(3).saved && !now.at(4).saved);
        QCOMPARE(QDir(m_pageFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    }

    // Nothing a dead console's folder holds is trusted: a pipe (which would block), a link (to
    // /dev/zero: gigabytes), a file too large or not a page is not read, and a page that cannot
    // be read is named; the run's settings are range-checked like the parameter file. A console
    // that still runs (its folder locked) keeps its pages; No deletes them.
    void nothingLeftBehindIsTrusted_data()
    {
        // file | its change: "pipe", "zero" (a link), "garbage", "huge", "range" | text | restored
        TestRows::add(
            {"as left, No |  |  | both | 0", "pipe as page | 000002.page | pipe | one | 1",
             "link to /dev/zero as page | 000002.page | zero | one | 1",
             "no page | 000002.page | garbage | one | 1",
             "pipe as index | index | pipe | no index | 0",
             "index too large | index | huge | no index | 0",
             "pipe as thumbnail | 000001.thumb | pipe | both | 2",
             "pipe as run.ini | run.ini | pipe | both | 2",
             "run.ini out of range | run.ini | range | both | 2",
             "pipe as lock | lock | pipe |  | 0", "held by a running console |  | held |  | 0"});
    }
    void nothingLeftBehindIsTrusted()
    {
        QFETCH(QStringList, fields);
        const QString file = fields[0], change = fields[1];
        const QMap<QString, QString> texts{
            {"both", question(2, 2)},
            {"one", question(1, 1) + "\n1 页无法读取，不能恢复：second"},
            {"no index",
             "发现上次未正常结束的扫描。\n2 页无法读取，不能恢复：000001.page、000002.page"}};
        ScanSettings settings = runSettings();
        Dead dead = deadConsole(settings);
        dead.store(1, PageStoreFolder::Page, "first", true);
        dead.store(2, PageStoreFolder::Taken, "second");
        const QString folder = dead.folder->path(), path = folder + "/" + file;
        if (change != "held")
            dead.die();
        const QByteArray name = QFile::encodeName(path);
        if (change == "pipe" || change == "zero")
            ::unlink(name); // (a lock file is gone with its console's lock)
        if (change == "pipe")
            QCOMPARE(::mkfifo(name, 0600), 0);
        if (change == "zero")
            QCOMPARE(::symlink("/dev/zero", name), 0);
        if (change == "garbage")
            QVERIFY(TestFiles::writeFile(path, "no image"));
        if (change == "huge")
            QVERIFY(QFile(path).resize(PageStoreFolder::MaxIndexBytes + 1));
        if (change == "range") {
            settings.descreen = true;
            settings.descreen_radius = 1000000;
            QVERIFY(RunSettingsFile::write(path, settings));
            ScanSettings read;
            QVERIFY(RunSettingsFile::read(path, &read));
            QVERIFY(read.descreen && read.descreen_radius == ScanSettings().descreen_radius);
            settings.descreen_radius = ScanSettings().descreen_radius;
        }

        int count = 0;
        const bool no = QString(QTest::currentDataTag()).endsWith(", No");
        QCOMPARE(offer(no ? QMessageBox::No : QMessageBox::Yes, &count), texts.value(fields[2]));
        QCOMPARE(count, fields[3].toInt());
        const bool leftAlone = file == "lock" || change == "held"; // not ours to take
        QCOMPARE(QFileInfo::exists(folder), leftAlone);
        if (count == 2) { // without its settings a taken page comes back as scanned
            const bool noSettings = file == "run.ini" && change == "pipe";
            QVERIFY(store->imageAt(1) == page(2, noSettings ? nullptr : &settings));
            QCOMPARE(store->at(0)->thumbnail, ImageManager::makeThumbnail(page(1)));
        }
        QCOMPARE(QDir(m_pageFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(),
                 leftAlone ? 1 : 0); // its run folder too
    }

    // A dead console's scan program goes on to the end of the page in hand: its run is waited
    // for, its last page offered with the others; one that goes on longer is left for the next
    // start.
    void aScanProgramStillWritingIsWaitedFor_data()
    {
        QTest::addColumn<int>("waitMs");
        QTest::addColumn<int>("first"); // pages offered at the first start
        QTest::newRow("ends in time") << 10000 << 2;
        QTest::newRow("goes on") << 100 << 0;
    }
    void aScanProgramStillWritingIsWaitedFor()
    {
        QFETCH(int, waitMs);
        QFETCH(int, first);
        const ScanSettings settings = runSettings();
        Dead dead = deadConsole(settings);
        dead.store(1, PageStoreFolder::Page, "first");
        dead.folder->keep();
        dead.folder.reset();
        dead.run->keep();
        // The lock stays held (as by the scan program) until its last page is written: half a
        // second into the wait, or once the first start has given up.
        std::atomic<bool> givenUp(false);
        std::thread program([run = dead.run, file = dead.file(2), &givenUp, first]() mutable {
            QThread::msleep(first > 0 ? 500 : 0);
            while (first == 0 && !givenUp)
                QThread::msleep(5);
            TestFiles::writeFile(file + ".part", jpegOf(2));
            ::rename(QFile::encodeName(file + ".part"), QFile::encodeName(file));
            run.reset();
        });
        dead.run.reset();
        QCOMPARE(PageRecovery(store->folderRoot(), waitMs).pageCount(), first);
        givenUp = true;
        program.join();
        PageRecovery found(store->folderRoot(), waitMs);
        QCOMPARE(found.pageCount(), 2);
        QCOMPARE(found.restore(store), 2);
        QVERIFY(store->imageAt(1) == page(2, &settings)); // never taken: corrected now
    }
};

SCANCONSOLE_TEST_MAIN(TestPageRecovery)
#include "tst_pagerecovery.moc"
