#include "app/Startup.h"
#include "imaging/ImageManager.h"
#include "imaging/PageCorrector.h"
#include "imaging/PageDecoder.h"
#include "imaging/PageStoreFolder.h"
#include "imaging/ReadImageThread.h"
#include "imaging/RunSettingsFile.h"
#include "imaging/SaveFormat.h"
#include "preview/PreviewWindow.h"
#include "settings/ScanSettings.h"
#include "tests/imaging/TestPages.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <cstdio>

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

// Child: a console's collector on `pages`, until it is killed.
int collect(const QString &pages, bool corrected, const QString &saveTo)
{
    ReadImageThread collector(runSettings(corrected, saveTo), pages);
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

// Pages survive a console that ends abnormally: a collector killed in the middle of a batch
// leaves every page it took, stored or still on its way, and the next start offers them; Yes
// puts them back in order, with their names, exactly as corrected; No deletes them; a console
// that still runs keeps its pages.
class TestPageRecovery : public QObject
{
    Q_OBJECT

    ImageManager *store = ImageManager::Instance();

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

private slots:
    void cleanup()
    {
        store->ClearImages();
        for (const QString &folder : PageStoreFolder::folders(store->folderRoot()))
            QDir(folder).removeRecursively();
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
        QFETCH(bool, corrected);
        QFETCH(bool, restore);
        QTemporaryDir dir;
        const QString pages = dir.filePath("pages"), saved = dir.filePath("saved");
        QVERIFY(QDir().mkpath(pages));
        const int total = 8;
        QStringList files;
        for (int i = 0; i < total; ++i) {
            files << QString("page-%1.jpg").arg(i);
            QVERIFY(TestPages::randomImage(QImage::Format_RGB32, 1200, 1600, quint32(i))
                        .save(pages + "/" + files.last(), "JPG"));
        }
        QProcess *child = startChild({"--collector", pages, corrected ? "1" : "0", saved});

        // Killed once pages are stored and others are taken but not stored yet.
        QString folder;
        QList<PageStoreFolder::Entry> entries;
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QStringList folders = otherFolders();
                folder = folders.value(0);
                entries = PageStoreFolder::index(folder);
                return count(entries, PageStoreFolder::Page) >= 2 &&
                       count(entries, PageStoreFolder::Taken) >= 1;
            },
            60000));
        kill(child);
        entries = PageStoreFolder::index(folder);
        const int taken = entries.size();
        const QStringList left = QDir(pages).entryList({"*.jpg"}, QDir::Files, QDir::Name);
        QVERIFY(taken >= 3 && taken + left.size() == total); // not one page lost
        QCOMPARE(left, files.mid(taken));

        // The next start.
        PreviewWindow preview;
        ModalAnswerer answerer;
        answerer.expectMessageBox(restore ? QMessageBox::Yes : QMessageBox::No);
        QCOMPARE(Startup::offerPageRestore(&preview), restore ? taken : 0);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.first().title, QString("提示"));
        QCOMPARE(answerer.seen.first().text,
                 QString("发现上次未保存的 %1 页扫描页面，是否恢复？").arg(taken));
        QVERIFY(!QFileInfo::exists(folder)); // restored or deleted: gone either way
        if (!restore) {
            QVERIFY(store->count() == 0 && preview.isHidden());
            return;
        }
        QCOMPARE(store->count(), taken);
        auto *list = preview.findChild<QListWidget *>("ImageListWidget");
        QVERIFY(preview.isVisible() && list->count() == taken);
        int number = -1;
        for (int i = 0; i < taken; ++i) {
            QCOMPARE(store->at(i)->name, entries.at(i).name);
            const QRegularExpressionMatch match =
                QRegularExpression(R"(^Batch(\d*)-\d{4}(-\d\d){5}$)").match(entries.at(i).name);
            QVERIFY(match.hasMatch());
            const int n = match.captured(1).isEmpty() ? 1 : match.captured(1).toInt();
            QVERIFY(number < 0 || n == number + 1); // the names in the order they were given
            number = n;
            QImage expected;
            // Exactly the page the run made of this file.
            QCOMPARE(PageDecoder::decode(jpegOf(i), &expected), PageDecoder::Decoded);
            PageCorrector::correct(&expected, runSettings(corrected, saved));
            QVERIFY2(store->imageAt(i) == expected, qPrintable(QString::number(i)));
            QCOMPARE(list->itemWidget(list->item(i))->findChild<QLabel *>("LableName")->text(),
                     entries.at(i).name);
        }
    }

    // Every state a page can be left in: taken and not corrected yet (corrected now with the
    // run's settings), stored as the scanner's file, turned (the last version counts), and a
    // page file that gave no page (not offered). Folders without a page go without a question.
    void everyStateIsRestored()
    {
        const ScanSettings settings = runSettings(true, QString());
        std::shared_ptr<PageStoreFolder> left = PageStoreFolder::create(store->folderRoot());
        QVERIFY(left && RunSettingsFile::write(left->settingsFile(), settings));
        const auto put = [&](const QByteArray &bytes, int slot, PageStoreFolder::State state,
                             const QString &name) {
            const int number = left->newNumber();
            QVERIFY(PageStoreFolder::write(left->file(number, "page"), bytes));
            QVERIFY(left->record(slot ? slot : number, number, state, name));
        };
        put(jpegOf(0), 0, PageStoreFolder::Page, "first");   // as scanned
        put(jpegOf(1), 0, PageStoreFolder::Taken, "second"); // on its way
        put("no image", 0, PageStoreFolder::Empty, "third");
        put(jpegOf(2), 0, PageStoreFolder::Page, "fourth");
        put(jpegOf(3), 4, PageStoreFolder::Page, "fourth"); // slot 4 turned: a new version
        left->keep();
        left.reset(); // the console is gone, its folder stays
        std::shared_ptr<PageStoreFolder> empty = PageStoreFolder::create(store->folderRoot());
        const QString emptyPath = empty->path();
        empty->keep();
        empty.reset();

        PreviewWindow preview;
        ModalAnswerer answerer;
        answerer.expectMessageBox(QMessageBox::Yes);
        QCOMPARE(Startup::offerPageRestore(&preview), 3);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.first().text, QString("发现上次未保存的 3 页扫描页面，是否恢复？"));
        QVERIFY(!QFileInfo::exists(emptyPath));
        QCOMPARE(store->count(), 3);
        const QStringList names{"first", "second", "fourth"};
        for (int i = 0; i < 3; ++i) {
            QImage expected;
            QCOMPARE(PageDecoder::decode(jpegOf(i == 0   ? 0
                                                : i == 1 ? 1
                                                         : 3),
                                         &expected),
                     PageDecoder::Decoded);
            if (i == 1)
                PageCorrector::correct(&expected, settings);
            QCOMPARE(store->at(i)->name, names.at(i));
            QVERIFY(store->imageAt(i) == expected);
            QCOMPARE(store->at(i)->thumbnail, ImageManager::makeThumbnail(expected));
        }
        QVERIFY(store->sourceAt(0).keepsOriginal() && !store->sourceAt(1).keepsOriginal());
    }

    void runningConsoleKeepsItsPages()
    {
        QProcess *holder = startChild({"--holder"});
        QVERIFY(holder->waitForReadyRead(30000) && holder->readAll().startsWith("ready"));
        const QString folder = otherFolders().value(0);
        QCOMPARE(PageStoreFolder::index(folder).size(), 2);
        {
            ModalAnswerer answerer;
            answerer.expectMessageBox(QMessageBox::No); // a question would be seen here
            QCOMPARE(Startup::offerPageRestore(nullptr), 0);
            QTest::qWait(100);
            QCOMPARE(answerer.seen.size(), 0);
        }
        QCOMPARE(PageStoreFolder::index(folder).size(), 2); // left alone
        kill(holder);
        ModalAnswerer answerer;
        answerer.expectMessageBox(QMessageBox::No);
        QCOMPARE(Startup::offerPageRestore(nullptr), 0);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.first().text, QString("发现上次未保存的 2 页扫描页面，是否恢复？"));
        QVERIFY(!QFileInfo::exists(folder));
    }

private:
    // The JPEG of page file `i` as the test wrote it (the same seed, the same encoder).
    static QByteArray jpegOf(int i)
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        TestPages::randomImage(QImage::Format_RGB32, 1200, 1600, quint32(i)).save(&buffer, "JPG");
        return bytes;
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == "--collector")
        return collect(arguments.value(2), arguments.value(3) == "1", arguments.value(4));
    if (arguments.value(1) == "--holder")
        return holdPages();
    TestEnvironment::prepare(app);
    TestPageRecovery tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_pagerecovery.moc"
