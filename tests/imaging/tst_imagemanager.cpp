#include "imaging/ImageManager.h"
#include "settings/ParamSetting.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDateTime>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <atomic>
#include <thread>

// The page store: page names over the life of the program, the selection, and appending from
// a worker thread while the GUI thread reads.
class TestImageManager : public QObject
{
    Q_OBJECT

private:
    ImageManager *store() { return ImageManager::Instance(); }

    static QImage *marked(int value)
    {
        auto *image = new QImage(3, 2, QImage::Format_Grayscale8);
        image->fill(uint(value & 255));
        return image;
    }

    static int value(const QImage &image)
    {
        return image.isNull() ? -1 : image.constScanLine(0)[0];
    }

    // "<document><number?>-yyyy-MM-dd-hh-mm-ss" with a time close to now.
    static void checkName(const QString &name, const QString &stem)
    {
        const QRegularExpression pattern("^" + QRegularExpression::escape(stem) +
                                         R"(-(\d{4}-\d{2}-\d{2}-\d{2}-\d{2}-\d{2})$)");
        const QRegularExpressionMatch match = pattern.match(name);
        QVERIFY2(match.hasMatch(), qPrintable(name + " does not read " + stem + "-<time>"));
        const QDateTime stamp = QDateTime::fromString(match.captured(1), "yyyy-MM-dd-hh-mm-ss");
        QVERIFY(stamp.isValid());
        QVERIFY2(qAbs(stamp.secsTo(QDateTime::currentDateTime())) <= 2, qPrintable(name));
    }

private slots:
    void init()
    {
        TestEnvironment::resetRecord();
        store()->ClearImages();
    }

    // Runs first: the very first page of the program gets no number.
    void pageNamesAcrossClears()
    {
        ParamSetting::instance.name = "Image";
        checkName(store()->AddImage(marked(1))->name, "Image");
        checkName(store()->AddImage(marked(2))->name, "Image2");
        store()->ClearImages();
        QCOMPARE(store()->count(), 0);
        // The counter goes on after a clear.
        checkName(store()->AddImage(marked(3))->name, "Image3");
        // A new document name applies from the next page on; earlier pages keep theirs.
        ParamSetting::instance.name = "Contract";
        checkName(store()->AddImage(marked(4))->name, "Contract4");
        checkName(store()->at(0)->name, "Image3");
        ParamSetting::instance.name = "";
        checkName(store()->AddImage(marked(5))->name, "5");
        QCOMPARE(store()->count(), 3);
    }

    void emptyStore()
    {
        QVERIFY(store()->getBackImage() == nullptr);
        QVERIFY(store()->getCurImage() == nullptr);
        QVERIFY(store()->at(0) == nullptr);
        QCOMPARE(store()->curIndex(), -1);
        QVERIFY(store()->images().isEmpty());
        QVERIFY(store()->imageAt(0).isNull());
    }

    void selectionAndOrder()
    {
        for (int i = 0; i < 3; ++i)
            store()->AddImage(marked(10 + i));
        QCOMPARE(store()->curIndex(), -1); // adding selects nothing
        QVERIFY(store()->getCurImage() == nullptr);
        QCOMPARE(store()->getBackImage(), store()->at(2));
        QCOMPARE(value(*store()->getBackImage()->image), 12);
        store()->setCurIndex(1);
        QCOMPARE(store()->getCurImage(), store()->at(1));
        store()->setCurIndex(3); // out of range: nothing selected
        QCOMPARE(store()->curIndex(), -1);
        store()->setCurIndex(2);
        store()->AddImage(marked(13));
        QCOMPARE(store()->curIndex(), 2);
        // A rotated page keeps its record and name.
        const QString name = store()->at(1)->name;
        QImage turned(2, 3, QImage::Format_Grayscale8);
        turned.fill(99u);
        store()->replaceImage(1, turned);
        QCOMPARE(store()->at(1)->name, name);
        QCOMPARE(store()->imageAt(1).size(), QSize(2, 3));
        QCOMPARE(value(store()->images().at(1)), 99);
        store()->ClearImages();
        QCOMPARE(store()->curIndex(), -1);
        QCOMPARE(store()->count(), 0);
    }

    void appendWhileReading()
    {
        // The collector appends from its thread while the GUI thread reads: every page the
        // reader can see is complete, counts never go back, and the pages keep their order
        // and distinct names.
        const int pages = 3000;
        std::atomic<bool> done(false);
        std::thread collector([&] {
            for (int i = 0; i < pages; ++i)
                store()->AddImage(marked(i));
            done = true;
        });
        int lastCount = 0;
        int reads = 0;
        bool consistent = true;
        while (!done || reads == 0) {
            const int n = store()->count();
            if (n < lastCount)
                consistent = false;
            lastCount = n;
            if (n > 0) {
                const int i = n - 1;
                const ImageObject *page = store()->at(i);
                if (!page || !page->image || value(*page->image) != (i & 255) ||
                    page->name.isEmpty())
                    consistent = false;
                const ImageObject *back = store()->getBackImage();
                if (!back || !back->image)
                    consistent = false;
            }
            const QList<QImage> copies = store()->images();
            if (copies.size() < n)
                consistent = false;
            for (int k = 0; k < copies.size(); k += 97) {
                if (copies.at(k).isNull() || value(copies.at(k)) != (k & 255))
                    consistent = false;
            }
            store()->setCurIndex(n > 0 ? n / 2 : -1);
            ++reads;
        }
        collector.join();
        QVERIFY(consistent);
        QVERIFY(reads > 1);
        QCOMPARE(store()->count(), pages);
        QSet<QString> names;
        for (int i = 0; i < pages; ++i) {
            QCOMPARE(value(*store()->at(i)->image), i & 255);
            names.insert(store()->at(i)->name);
        }
        QCOMPARE(names.size(), pages);
    }
};

SCANCONSOLE_TEST_MAIN(TestImageManager)
#include "tst_imagemanager.moc"
