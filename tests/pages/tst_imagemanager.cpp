#include "imaging/PageCorrector.h"
#include "pages/ImageManager.h"
#include "pages/JpegHeader.h"
#include "pages/PageDecoder.h"
#include "pages/PageStoreFolder.h"
#include "scan/RunSettingsFile.h"
#include "settings/ParamSetting.h"
#include "settings/ScanSettings.h"
#include "tests/support/RecordFixtures.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPages.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <thread>

using TestFiles::jpeg;
using TestFiles::limitFileSize;
using TestFiles::readAll;

// The page store: page names over the life of the program, the selection, appending from a
// worker thread while the GUI thread reads, and the pages on disk: every kind of page comes
// back exactly after it has left memory, rotation, clearing, and a folder that fails.
class TestImageManager : public QObject
{
    Q_OBJECT

    ImageManager *store = ImageManager::Instance();

    static QImage *marked(int value)
    {
        auto *image = new QImage(3, 2, QImage::Format_Grayscale8);
        image->fill(uint(value & 255));
        return image;
    }
    static int value(const QImage &image) { return image.constScanLine(0)[0]; }
    // The same pixels, format and resolution.
    static bool samePage(const QImage &a, const QImage &b)
    {
        return a == b && a.format() == b.format() && a.dotsPerMeterX() == b.dotsPerMeterX() &&
               a.dotsPerMeterY() == b.dotsPerMeterY();
    }
    // The page `kind` makes for `seed`, and the scanner file it came from when it is one.
    static QImage makePage(const QString &kind, quint32 seed, QByteArray *original)
    {
        const QSize size(90 + int(seed % 7), 60 + int(seed % 5));
        QImage page;
        if (kind.startsWith("scanned")) {
            QImage drawn =
                TestPages::randomImage(QImage::Format_RGB32, size.width(), size.height(), seed);
            if (kind.endsWith("grey"))
                drawn = drawn.convertToFormat(QImage::Format_Grayscale8);
            drawn.setDotsPerMeterX(11811); // 300 dpi
            drawn.setDotsPerMeterY(11811);
            *original = jpeg(drawn);
            PageDecoder::decode(*original, &page);
            return page;
        }
        const QImage::Format format = kind == "grey"        ? QImage::Format_Grayscale8
                                      : kind == "RGB888"    ? QImage::Format_RGB888
                                      : kind == "palette"   ? QImage::Format_Indexed8
                                      : kind == "alpha"     ? QImage::Format_ARGB32
                                      : kind == "two-level" ? QImage::Format_Mono
                                                            : QImage::Format_RGB32;
        page = TestPages::randomImage(format, size.width(), size.height(), seed);
        if (format == QImage::Format_Mono)
            page.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        page.setDotsPerMeterX(7874); // 200 dpi across, 150 down
        page.setDotsPerMeterY(5906);
        return page;
    }

private slots:
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); } // beyond the limit: EFBIG, no signal
    void cleanup()
    {
        limitFileSize(RLIM_INFINITY);
        store->ClearImages();
        store->setFolderRoot(PageStoreFolder::defaultRoot());
    }

    // Runs first: the first page of the program has no number, the second has 2, the counter
    // goes on across clears, and a new document name applies from the next page on. Clearing
    // leaves nothing selected and removes the folder once no save still reads from it.
    void pageNamesAndSelection()
    {
        // clang-format off
        const std::tuple<QString, QString, bool> pages[] = {{"Image", "Image", false},
            {"Image", "Image2", false}, {"Image", "Image3", true}, {"Contract", "Contract4", false},
            {"", "5", false}};
        // clang-format on
        for (const auto &[document, stem, clearFirst] : pages) {
            if (clearFirst)
                store->ClearImages();
            const QString name = store->AddImage(marked(0), document)->name;
            const QRegularExpressionMatch match =
                QRegularExpression("^" + stem + R"((-\d{4}(-\d\d){5})$)").match(name);
            const QDateTime time = QDateTime::fromString(match.captured(1), "-yyyy-MM-dd-hh-mm-ss");
            QVERIFY2(match.hasMatch() && qAbs(time.secsTo(QDateTime::currentDateTime())) <= 2,
                     qPrintable(name));
        }
        QCOMPARE(store->count(), 3);
        QVERIFY(store->at(0)->name.startsWith("Image3-")); // earlier pages keep their names
        // An index out of range, and a clear, leave nothing selected.
        store->setCurIndex(1);
        store->setCurIndex(3);
        QVERIFY(store->curIndex() == -1 && !store->getCurImage());
        store->setCurIndex(2);
        // Clearing removes the folder, once no save still reads from it.
        const QString folder = store->folderPath();
        PageSource saving = store->sourceAt(2);
        store->ClearImages();
        QVERIFY(!store->count() && store->curIndex() == -1 && !store->getBackImage());
        QVERIFY(store->folderPath().isEmpty() && QFileInfo(folder).isDir());
        QCOMPARE(saving.image().size(), QSize(3, 2));
        saving = PageSource();
        QVERIFY(!QFileInfo::exists(folder));
        store->AddImage(marked(7), "Image"); // the next page gets a new folder
        QVERIFY(QFileInfo(store->folderPath()).isDir() && store->folderPath() != folder);
        store->ClearImages();
        QCOMPARE(QDir(PageStoreFolder::defaultRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList());
    }

    void appendWhileReading()
    {
        const int pages = 1500;
        std::thread collector([&] {
            for (int i = 0; i < pages; ++i)
                store->AddImage(marked(i), "Image");
        });
        // Every page seen is whole, the count never goes back (checked after the join).
        bool consistent = true;
        for (int seen = 0; seen < pages;) {
            const int n = store->count();
            const ImageObject *back = store->getBackImage();
            consistent = consistent && n >= seen && store->sources().size() >= n &&
                         (n == 0 || (back && back->size == QSize(3, 2) && !back->name.isEmpty() &&
                                     value(store->imageAt(n - 1)) == ((n - 1) & 255)));
            store->setCurIndex(n / 2);
            seen = n;
        }
        collector.join();
        QVERIFY(consistent);
        for (int i = 0; i < pages; ++i)
            QCOMPARE(value(store->imageAt(i)), i & 255); // in order
    }

    // Every kind of page comes back pixel for pixel, with its format and resolution, also after
    // it has left memory (only the last few pages read stay decoded). A page as the scanner
    // delivered it is kept as the scanner's file, byte for byte, which is also its JPEG for a
    // PDF; any other page gets an encoding of its own. A folder that cannot be made, or a disk
    // that is full: the pages stay in memory, whole. A page file kept when it was taken, before
    // the disk filled, stays too: it is the page's only copy on disk.
    void pagesComeBackExactly_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("failure");
        for (const char *kind : {"scanned colour", "scanned grey", "colour", "grey", "RGB888",
                                 "palette", "alpha", "two-level"})
            QTest::newRow(kind) << QString(kind) << QString();
        QTest::newRow("no folder") << "scanned grey"
                                   << "no folder";
        QTest::newRow("full disk") << "colour"
                                   << "full disk";
        QTest::newRow("full disk after taking") << "scanned grey"
                                                << "taken";
    }
    void pagesComeBackExactly()
    {
        QFETCH(QString, kind);
        QFETCH(QString, failure);
        QTemporaryDir dir;
        if (failure == "no folder") {
            QVERIFY(TestFiles::writeFile(dir.filePath("file"), ""));
            store->setFolderRoot(dir.filePath("file/pages")); // below a file: no folder
        } else if (!failure.isEmpty()) { // the folder is there; then the disk is full
            store->keepRunSettings(RunSettingsFile::writer(ScanSettings()));
            QVERIFY(QFileInfo(store->folderPath()).isDir());
        }
        const int count = 2 * ImageManager::CachedPages + 2;
        QList<QImage> pages;
        QList<QByteArray> originals;
        for (int i = 0; i < count; ++i) {
            QByteArray original;
            pages << makePage(kind, quint32(i + 1), &original);
            originals << original;
            const QString name = store->newPageName("Image");
            const int slot = failure == "taken" ? store->keepTaken(jpeg(pages.last()), name) : 0;
            limitFileSize(failure == "full disk" || slot ? 64 : RLIM_INFINITY);
            PageSource stored;
            store->addPage(pages.last(), slot ? QByteArray() : original, name, slot, &stored);
            limitFileSize(RLIM_INFINITY);
            QVERIFY(samePage(stored.image(), pages.last()));
        }
        for (int i = 0; i < count; ++i) {
            QVERIFY2(samePage(store->imageAt(i), pages.at(i)), qPrintable(QString::number(i)));
            QCOMPARE(store->at(i)->thumbnail, ImageManager::makeThumbnail(pages.at(i)));
        }
        if (!failure.isEmpty()) {
            const QList<PageStoreFolder::Entry> entries =
                PageStoreFolder::index(store->folderPath());
            QCOMPARE(entries.size(), failure == "taken" ? count : 0);
            for (const PageStoreFolder::Entry &entry : entries)
                QVERIFY(entry.state == PageStoreFolder::Taken &&
                        QFile::exists(store->folderPath() +
                                      QString("/%1.page").arg(entry.number, 6, 10, QChar('0'))));
            store->replaceImage(0, pages.at(1)); // turning works the same
            QVERIFY(samePage(store->imageAt(0), pages.at(1)));
            return;
        }
        const QList<PageSource> sources = store->sources();
        for (int i = 0; i < count; ++i) {
            // Read back from disk, not a copy the store kept: only the newest are in memory.
            if (i < count - ImageManager::CachedPages)
                QVERIFY(store->imageAt(i).constBits() != pages.at(i).constBits());
            QCOMPARE(store->at(i)->size, pages.at(i).size());
            QVERIFY(store->at(i)->thumbnail.width() <= 200 &&
                    store->at(i)->thumbnail.height() <= 200);
            const PageSource &source = sources.at(i);
            const QByteArray document = source.documentJpeg();
            if (!originals.at(i).isEmpty()) {
                QCOMPARE(readAll(store->folderPath() +
                                 QString("/%1.page").arg(source.number(), 6, 10, QChar('0'))),
                         originals.at(i));
                QVERIFY(source.keepsOriginal() && document == originals.at(i));
            } else {
                QVERIFY(!source.keepsOriginal());
                const JpegHeader header = JpegHeader::read(document);
                QVERIFY(header.isPdfCompatible() && header.pixels() == pages.at(i).size());
                QCOMPARE(header.components() == 1, source.isGreyJpeg());
                QCOMPARE(source.documentJpeg(), document); // made once, kept beside the page
            }
            QCOMPARE(source.dpi(),
                     kind.startsWith("scanned") ? QPointF(300, 300) : QPointF(200, 150));
        }
    }

    // A turned page is stored again: it comes back turned after leaving memory, its record and
    // thumbnail follow, the index names it in the same place; a reader that had the page before
    // still reads the page it had, whole. A skipped page's mark is kept with it on disk: through
    // the rotation, back at the next start after an abnormal end, gone when the page is put back.
    void rotationStoresThePageAgain()
    {
        QList<QImage> pages;
        for (int i = 0; i < 5; ++i) {
            QByteArray original;
            pages << makePage(i % 2 ? "scanned colour" : "grey", quint32(i + 10), &original);
            store->addPage(pages.last(), original, store->newPageName("Page"), 0, nullptr, i == 1);
        }
        const PageSource before = store->sourceAt(1);
        const QImage turned = pages.at(1).transformed(QTransform().rotate(90));
        store->replaceImage(1, turned);
        for (int i = 2; i < 5; ++i) // page 1 leaves memory
            store->imageAt(i);
        QVERIFY(samePage(store->imageAt(1), turned));
        QCOMPARE(store->at(1)->size, turned.size());
        QCOMPARE(store->at(1)->thumbnail, ImageManager::makeThumbnail(turned));
        QVERIFY(samePage(before.image(), pages.at(1)));
        QVERIFY(!store->sourceAt(1).keepsOriginal()); // its pixels are no longer the scanner's
        QVERIFY(!PageStoreFolder::claim(store->folderPath())); // a live store's folder is its own
        const auto state = [&](int i) {
            return PageStoreFolder::index(store->folderPath()).at(i).state;
        };
        const QList<PageStoreFolder::Entry> entries = PageStoreFolder::index(store->folderPath());
        QCOMPARE(entries.size(), 5);
        QCOMPARE(entries.at(1).name, store->at(1)->name);
        QCOMPARE(entries.at(1).number, store->sourceAt(1).number());
        QVERIFY(store->at(1)->skipped && !store->at(2)->skipped);
        QVERIFY(state(1) == PageStoreFolder::Skipped && state(2) == PageStoreFolder::Page);

        std::shared_ptr<PageStoreFolder> left = PageStoreFolder::create(store->folderRoot());
        const int number = left->newNumber();
        QVERIFY(PageStoreFolder::write(left->file(number, "page"), jpeg(pages.at(0))));
        QVERIFY(left->record(number, number, PageStoreFolder::Skipped, "left"));
        const QString path = left->path();
        left->keep();
        left.reset();
        const std::shared_ptr<PageStoreFolder> claimed = PageStoreFolder::claim(path);
        QVERIFY(store->adoptPage(claimed, claimed->entries().value(0)));
        QVERIFY(store->at(5)->skipped && state(5) == PageStoreFolder::Skipped);
        store->setSkipped(1, false);
        QVERIFY(!store->at(1)->skipped && state(1) == PageStoreFolder::Page);
    }

    // The run's settings kept beside its pages come back with every field the corrections
    // read (a page left uncorrected by a crash is corrected with them).
    void runSettingsComeBack()
    {
        QTemporaryDir dir;
        RecordFixtures::fillNonDefault(ParamSetting::instance);
        ParamSetting::instance.bkg_red = 12;
        ParamSetting::instance.bkg_green = 34;
        ParamSetting::instance.bkg_blue = 56;
        const ScanSettings written = ParamSetting::instance.scanSettings();
        TestEnvironment::resetRecord();
        ScanSettings back;
        QVERIFY(!RunSettingsFile::read(dir.filePath("none.ini"), &back));
        QVERIFY(RunSettingsFile::write(dir.filePath("run.ini"), written));
        QVERIFY(RunSettingsFile::read(dir.filePath("run.ini"), &back));
        // clang-format off
        const auto fields = [](const ScanSettings &s) {
            return QVariantList{s.name, s.save_type, s.image_type, s.halftone, s.filter,
                s.brightness, s.contrast, s.color_curve, s.descreen, s.descreen_radius,
                s.angle_correct, s.gamma_correct, s.brightness_correct, s.contrast_correct,
                s.deskew, s.skip_blank, s.impermeable, s.change_bkg, s.bkg_red, s.bkg_green,
                s.bkg_blue};
        };
        // clang-format on
        QCOMPARE(fields(back), fields(written));
        QVERIFY(PageCorrector::plan(back) == PageCorrector::plan(written));
    }
};

SCANCONSOLE_TEST_MAIN(TestImageManager)
#include "tst_imagemanager.moc"
