#include "app/Startup.h"
#include "imaging/PageCorrector.h"
#include "pages/ImageManager.h"
#include "pages/LosslessPage.h"
#include "pages/PageDecoder.h"
#include "pages/PageStoreFolder.h"
#include "preview/PreviewWindow.h"
#include "scan/PageRecovery.h"
#include "scan/ReadImageThread.h"
#include "scan/RunFolder.h"
#include "scan/RunSettingsFile.h"
#include "settings/SaveFormat.h"
#include "settings/ScanSettings.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// The run the child console makes: colour pages into a PNG folder (the slow writer, so that the
// first stage runs ahead of the second), corrected or as scanned.
ScanSettings runSettings(bool corrected, const QString &saveTo)
{
    ScanSettings s;
    s.image_type = 2;
    s.brightness_correct = corrected ? 12.0f : 0.0f;
    s.save_type = SaveFormat::Png;
    s.save_path = saveTo;
    s.name = QStringLiteral("Batch");
    return s;
}

// The JPEG of test page `i` (the same seed, the same encoder every time).
QByteArray jpegOf(int i)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    TestPages::randomImage(QImage::Format_RGB32, 600, 800, quint32(i)).save(&buffer, "JPG");
    return bytes;
}

// Child: a console whose run has its page files in its run folder (moved there from `source`)
// and whose collector takes them, until it is killed.
int collect(const QString &pageFolder, const QString &source, bool corrected, const QString &saveTo)
{
    const ScanSettings settings = runSettings(corrected, saveTo);
    const std::shared_ptr<RunFolder> run = RunFolder::create(pageFolder);
    ImageManager::Instance()->keepRun(RunSettingsFile::writer(settings), run->path(), run);
    for (const QString &name : QDir(source).entryList(QDir::Files))
        QFile::rename(source + "/" + name, run->path() + "/" + name);
    ReadImageThread collector(settings, run->path());
    collector.SetSaveFlag(true);
    collector.start();
    return qApp->exec();
}

// Child: a console that has two pages in its store and goes on running.
int holdPages()
{
    for (int i = 0; i < 2; ++i)
        ImageManager::Instance()->AddImage(
            new QImage(TestPages::randomImage(QImage::Format_RGB32, 40, 30, quint32(i))), "Held");
    std::printf("ready\n");
    std::fflush(stdout);
    return qApp->exec();
}

} // namespace

// Pages survive a console that ends abnormally: every page of its run, in its store folder or
// still in its run folder, is offered once at the next start, in scanner order, as saved or not;
// Yes puts them back, exactly as corrected; No deletes them; a console that still runs keeps its
// pages; nothing the folders hold is trusted.
class TestPageRecovery : public QObject
{
    Q_OBJECT

    ImageManager *store = ImageManager::Instance();
    QTemporaryDir m_work;
    const QString m_pageFolder = m_work.filePath("pages");

    QProcess *startChild(const QStringList &arguments)
    {
        auto *child = new QProcess(this);
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(QCoreApplication::applicationFilePath(), arguments);
        return child;
    }
    static void kill(QProcess *child)
    {
        ::kill(pid_t(child->processId()), SIGKILL);
        QVERIFY(child->waitForFinished(10000));
    }
    // The store folders of other consoles.
    QStringList otherFolders() const
    {
        QStringList folders = PageStoreFolder::folders(store->folderRoot());
        folders.removeAll(store->folderPath());
        return folders;
    }
    static int count(const QList<PageStoreFolder::Entry> &entries, PageStoreFolder::State state)
    {
        return int(
            std::count_if(entries.begin(), entries.end(),
                          [state](const PageStoreFolder::Entry &e) { return e.state == state; }));
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
    static QImage correctedPage(const QByteArray &jpeg, const ScanSettings &settings)
    {
        QImage page;
        PageDecoder::decode(jpeg, &page);
        PageCorrector::correct(&page, settings);
        return page;
    }
    static QImage decoded(int n)
    {
        QImage page;
        PageDecoder::decode(jpegOf(n), &page);
        return page;
    }
    // A folder a dead console left: its run folder, settings and index lines.
    struct Dead
    {
        std::shared_ptr<PageStoreFolder> folder;
        std::shared_ptr<RunFolder> run;
        QString file(int n) const { return run->path() + QString("/tempImage-%1.jpg").arg(n); }
        // A version of the scanner's page `n` in the store, named `name`.
        int store(int n, PageStoreFolder::State state, const QString &name, int slot = 0,
                  bool thumbnail = false)
        {
            const int number = folder->newNumber();
            TestFiles::writeFile(folder->file(number, "page"), jpegOf(n));
            if (thumbnail)
                PageStoreFolder::write(folder->file(number, "thumb"), [&](QIODevice *d) {
                    QImage page;
                    PageDecoder::decode(jpegOf(n), &page);
                    return LosslessPage::write(ImageManager::makeThumbnail(page), d);
                });
            folder->record(slot ? slot : number, number, state, name, file(n));
            return number;
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
    static void die(Dead &dead)
    {
        dead.folder->keep();
        dead.run->keep();
        dead.folder.reset();
        dead.run.reset();
    }

private slots:
    void cleanup()
    {
        store->ClearImages();
        for (const QString &folder : PageStoreFolder::folders(store->folderRoot()))
            QDir(folder).removeRecursively();
        QDir(m_pageFolder).removeRecursively();
    }

    void killedRunIsOffered_data()
    {
        QTest::addColumn<bool>("corrected");
        QTest::addColumn<bool>("restore");
        QTest::newRow("corrected, Yes") << true << true;
        QTest::newRow("as scanned, Yes") << false << true;
        QTest::newRow("corrected, No") << true << false;
    }
    void killedRunIsOffered()
    {
        // A collector killed in the middle of a batch: pages stored, taken and still in the run
        // folder. Every one of them is offered, once, in scanner order.
        QFETCH(bool, corrected);
        QFETCH(bool, restore);
        const QString source = m_work.filePath("source"), saved = m_work.filePath("saved");
        QVERIFY(QDir().mkpath(source));
        const int total = 8;
        for (int i = 0; i < total; ++i)
            QVERIFY(TestFiles::writeFile(source + QString("/tempImage-%1.jpg").arg(i), jpegOf(i)));
        QProcess *child =
            startChild({"--collector", m_pageFolder, source, corrected ? "1" : "0", saved});
        QString folder;
        QList<PageStoreFolder::Entry> entries;
        QVERIFY(QTest::qWaitFor(
            [&] {
                folder = otherFolders().value(0);
                entries = PageStoreFolder::index(folder);
                return count(entries, PageStoreFolder::Page) >= 2 &&
                       count(entries, PageStoreFolder::Taken) >= 1;
            },
            60000));
        kill(child);
        entries = PageStoreFolder::index(folder);
        const int saves =
            int(std::count_if(entries.begin(), entries.end(),
                              [](const PageStoreFolder::Entry &e) { return e.saved; }));
        QVERIFY(saves <= QDir(saved).entryList(QDir::Files).size()); // marked once written

        PreviewWindow preview;
        int restored = 0;
        QCOMPARE(offer(restore ? QMessageBox::Yes : QMessageBox::No, &restored, &preview),
                 question(total, total - saves));
        QCOMPARE(restored, restore ? total : 0);
        QVERIFY(!QFileInfo::exists(folder)); // restored or deleted: gone either way
        QCOMPARE(QDir(m_pageFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
        if (!restore) {
            QVERIFY(store->count() == 0 && preview.isHidden());
            return;
        }
        auto *list = preview.findChild<QListWidget *>("ImageListWidget");
        QVERIFY(preview.isVisible() && list->count() == total);
        for (int i = 0; i < total; ++i) {
            if (i < entries.size())
                QCOMPARE(store->at(i)->name, entries.at(i).name);
            QVERIFY2(store->imageAt(i) == correctedPage(jpegOf(i), runSettings(corrected, saved)),
                     qPrintable(QString::number(i)));
        }
    }

    // Every state a page can be left in, in scanner order: stored and saved, its file still in
    // the run folder (one page); taken, not corrected yet (corrected now with the run's
    // settings); left in the run folder by a store that could not keep it; a file that gave no
    // page (not offered); turned after it was saved (the last version counts, still saved); a
    // file the collector never took (named now, on from the run's numbering). A folder without a
    // page goes without a word.
    void everyStateIsRestored()
    {
        const ScanSettings settings = runSettings(true, QString());
        Dead dead = deadConsole(settings);
        QVERIFY(dead.folder && dead.run);
        dead.folder->recordSaved(dead.store(1, PageStoreFolder::Page, "first", 0, true));
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
        const int turned = dead.folder->newNumber(); // a new version of the same page
        QVERIFY(TestFiles::writeFile(dead.folder->file(turned, "page"), jpegOf(7)));
        dead.folder->record(fifth, turned, PageStoreFolder::Page, fifthName);
        QVERIFY(TestFiles::writeFile(dead.file(6), jpegOf(6)));
        die(dead);
        std::shared_ptr<PageStoreFolder> empty = PageStoreFolder::create(store->folderRoot());
        const QString emptyPath = empty->path();
        empty->keep();
        empty.reset();

        PreviewWindow preview;
        int restored = 0;
        QCOMPARE(offer(QMessageBox::Yes, &restored, &preview), question(5, 3));
        QCOMPARE(restored, 5);
        QVERIFY(!QFileInfo::exists(emptyPath));
        const QList<int> pages{1, 2, 3, 7, 6};
        for (int i = 0; i < pages.size(); ++i) {
            // Stored pages come back as stored; the scanner's files are corrected now.
            const QImage expected = pages[i] == 1 || pages[i] == 7
                                        ? decoded(pages[i])
                                        : correctedPage(jpegOf(pages[i]), settings);
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
    // be read is named; the run's settings are range-checked like the parameter file.
    void nothingLeftBehindIsTrusted_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("restored");
        const QString both = question(2, 2),
                      one = question(1, 1) + "\n1 页无法读取，不能恢复：second";
        const QString noIndex =
            "发现上次未正常结束的扫描。\n2 页无法读取，不能恢复：000001.page、000002.page";
        QTest::newRow("as left") << "" << both << 2;
        QTest::newRow("pipe as page") << "pipe page" << one << 1;
        QTest::newRow("link to /dev/zero as page") << "zero page" << one << 1;
        QTest::newRow("no page") << "garbage page" << one << 1;
        QTest::newRow("pipe as index") << "pipe index" << noIndex << 0;
        QTest::newRow("index too large") << "huge index" << noIndex << 0;
        QTest::newRow("pipe as thumbnail") << "pipe thumb" << both << 2;
        QTest::newRow("pipe as run.ini") << "pipe run.ini" << both << 2;
        QTest::newRow("run.ini out of range") << "range run.ini" << both << 2;
        QTest::newRow("pipe as lock") << "pipe lock"
                                      << "" << 0;
    }
    void nothingLeftBehindIsTrusted()
    {
        QFETCH(QString, change);
        QFETCH(QString, text);
        QFETCH(int, restored);
        ScanSettings settings = runSettings(true, QString());
        Dead dead = deadConsole(settings);
        dead.store(1, PageStoreFolder::Page, "first", 0, true);
        dead.store(2, PageStoreFolder::Taken, "second");
        const QString folder = dead.folder->path();
        die(dead);
        const auto replace = [&](const QString &name, const std::function<int(QByteArray)> &make) {
            const QByteArray path = QFile::encodeName(folder + "/" + name);
            ::unlink(path);
            QCOMPARE(make(path), 0);
        };
        const auto pipe = [](const QByteArray &path) { return ::mkfifo(path, 0600); };
        if (change == "pipe page")
            replace("000002.page", pipe);
        if (change == "zero page")
            replace("000002.page", [](QByteArray path) { return ::symlink("/dev/zero", path); });
        if (change == "garbage page")
            QVERIFY(TestFiles::writeFile(folder + "/000002.page", "no image"));
        if (change == "pipe index")
            replace("index", pipe);
        if (change == "huge index")
            QVERIFY(QFile(folder + "/index").resize(PageStoreFolder::MaxIndexBytes + 1));
        if (change == "pipe thumb")
            replace("000001.thumb", pipe);
        if (change == "pipe run.ini")
            replace("run.ini", pipe);
        if (change == "range run.ini") {
            settings.descreen = true;
            settings.descreen_radius = 1000000;
            QVERIFY(RunSettingsFile::write(folder + "/run.ini", settings));
            ScanSettings read;
            QVERIFY(RunSettingsFile::read(folder + "/run.ini", &read));
            QVERIFY(read.descreen && read.descreen_radius == ScanSettings().descreen_radius);
            settings.descreen_radius = ScanSettings().descreen_radius;
        }
        if (change == "pipe lock")
            replace("lock", pipe);

        int count = 0;
        QCOMPARE(offer(QMessageBox::Yes, &count), text);
        QCOMPARE(count, restored);
        if (change == "pipe lock") { // not ours to take: left alone
            QVERIFY(QFileInfo::exists(folder));
            return;
        }
        QVERIFY(!QFileInfo::exists(folder));
        if (restored == 2) { // without its settings a taken page comes back as scanned
            QVERIFY(store->imageAt(1) ==
                    (change == "pipe run.ini" ? decoded(2) : correctedPage(jpegOf(2), settings)));
            QCOMPARE(store->at(0)->thumbnail, ImageManager::makeThumbnail(decoded(1)));
        }
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
        Dead dead = deadConsole(runSettings(false, QString()));
        dead.store(1, PageStoreFolder::Page, "first");
        dead.folder->keep();
        dead.folder.reset();
        dead.run->keep();
        // The lock stays held (as by the scan program) until its last page is written: half a
        // second into the wait, or once the first start has given up.
        std::atomic<bool> givenUp(false);
        std::thread program([run = dead.run, file = dead.file(2), &givenUp, first]() mutable {
            if (first > 0)
                QThread::msleep(500);
            while (first == 0 && !givenUp)
                QThread::msleep(5);
            TestFiles::writeFile(file + ".part", jpegOf(2));
            ::rename(QFile::encodeName(file + ".part"), QFile::encodeName(file));
            run.reset();
        });
        dead.run.reset();
        {
            PageRecovery found(store->folderRoot(), waitMs);
            QCOMPARE(found.pageCount(), first);
        }
        givenUp = true;
        program.join();
        PageRecovery found(store->folderRoot(), waitMs);
        QCOMPARE(found.pageCount(), 2);
        QCOMPARE(found.restore(store), 2);
        QVERIFY(store->imageAt(1) == decoded(2));
    }

    void runningConsoleKeepsItsPages()
    {
        QProcess *holder = startChild({"--holder"});
        QVERIFY(holder->waitForReadyRead(30000) && holder->readAll().startsWith("ready"));
        const QString folder = otherFolders().value(0);
        QCOMPARE(PageStoreFolder::index(folder).size(), 2);
        int restored = 0;
        QCOMPARE(offer(QMessageBox::No, &restored), QString()); // no question while it runs
        QCOMPARE(PageStoreFolder::index(folder).size(), 2);     // left alone
        kill(holder);
        QCOMPARE(offer(QMessageBox::No, &restored), question(2, 2));
        QVERIFY(restored == 0 && !QFileInfo::exists(folder));
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == "--collector")
        return collect(arguments.value(2), arguments.value(3), arguments.value(4) == "1",
                       arguments.value(5));
    if (arguments.value(1) == "--holder")
        return holdPages();
    TestEnvironment::prepare(app);
    TestPageRecovery tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_pagerecovery.moc"
