#include "imaging/ImageManager.h"
#include "settings/ParamSetting.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDateTime>
#include <QRegularExpression>
#include <QTest>

#include <thread>

// The page store: page names over the life of the program, the selection, and appending from a
// worker thread while the GUI thread reads.
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

private slots:
    // Runs first: the first page of the program has no number, the second has 2, the counter
    // goes on across clears, and a new document name applies from the next page on.
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
            ParamSetting::instance.name = document;
            const QString name = store->AddImage(marked(0))->name;
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
        store->ClearImages();
        QVERIFY(!store->count() && store->curIndex() == -1 && !store->getBackImage());
    }

    void appendWhileReading()
    {
        store->ClearImages();
        const int pages = 60000;
        std::thread collector([&] {
            for (int i = 0; i < pages; ++i)
                store->AddImage(marked(i));
        });
        // Every page seen is whole, the count never goes back (checked after the join).
        bool consistent = true;
        for (int seen = 0; seen < pages;) {
            const int n = store->count();
            const ImageObject *back = store->getBackImage();
            consistent = consistent && n >= seen && store->images().size() >= n &&
                         (n == 0 || (back && back->image && !back->name.isEmpty() &&
                                     value(store->imageAt(n - 1)) == ((n - 1) & 255)));
            store->setCurIndex(n / 2);
            seen = n;
        }
        collector.join();
        QVERIFY(consistent);
        for (int i = 0; i < pages; ++i)
            QCOMPARE(value(*store->at(i)->image), i & 255); // in order
    }
};

SCANCONSOLE_TEST_MAIN(TestImageManager)
#include "tst_imagemanager.moc"
