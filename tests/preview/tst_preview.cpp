#include "imaging/ImageManager.h"
#include "preview/ImageView.h"
#include "preview/PreviewWindow.h"
#include "settings/ParamSetting.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"

#include <QtTest/qtestspontaneevent.h>
#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

// Random pixels for a seed, one flat colour for seed 0 (quick for large pages).
QImage page(int w, int h, quint32 seed = 0)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(120, 160, 200));
    QRandomGenerator rng(seed);
    for (int i = 0; seed && i < w * h; ++i)
        image.setPixel(i % w, i / w, 0xff000000u | rng.generate());
    return image;
}

QByteArray readAll(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString &file, const QByteArray &bytes)
{
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Checks that `file` holds `image` in `format`: "pdf" (`pages` page objects, not counting the
// "/Type /Pages" tree), or an image format (JPEG compared by size only).
void checkWritten(const QString &file, const QString &format, const QImage &image, int pages = 1)
{
    const QByteArray b = readAll(file);
    if (format == "pdf") {
        QVERIFY(b.startsWith("%PDF"));
        QCOMPARE(b.count("/Type /Page") - b.count("/Type /Pages"), pages);
        return;
    }
    QImageReader reader(file);
    QCOMPARE(reader.format(), format.toLatin1());
    const QImage back = reader.read().convertToFormat(QImage::Format_RGB32);
    QVERIFY(back.size() == image.size() && (format == "jpeg" || back == image));
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Spontaneous, as from the window system, so an ignored event travels on to the scroll area.
void wheel(QWidget *w, int delta, Qt::KeyboardModifiers mods = Qt::ControlModifier)
{
    QWheelEvent event(QPointF(5, 5), QPointF(w->mapToGlobal(QPoint(5, 5))), QPoint(),
                      QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    qApp->notify(w, &event);
}

} // namespace

// The preview window, its thumbnail list and its image view, driven through their widgets.
class TestPreview : public QObject
{
    Q_OBJECT

    std::unique_ptr<PreviewWindow> m_window;
    std::unique_ptr<ModalAnswerer> m_answerer;
    std::unique_ptr<QTemporaryDir> m_dir;
    QList<QImage> m_sources;

    ImageView *view() const { return m_window->findChild<ImageView *>("imageView"); }
    QScrollArea *area() const { return m_window->findChild<QScrollArea *>("scrollArea"); }
    QListWidget *list() const { return m_window->findChild<QListWidget *>("ImageListWidget"); }
    QString zoomText() const { return m_window->findChild<QLabel *>("label_zoom")->text(); }
    int state() const { return view()->shotState(); }
    ImageManager *store() const { return ImageManager::Instance(); }
    QImage stored(int i) const { return *store()->at(i)->image; }
    QString pageFile(int i, const QString &suffix) const
    {
        return m_dir->filePath(store()->at(i)->name + suffix);
    }
    QLabel *label(int row, const char *name) const
    {
        return list()->itemWidget(list()->item(row))->findChild<QLabel *>(name);
    }
    // Title and text of the i-th modal box seen.
    QString box(int i) const
    {
        return m_answerer->seen.at(i).title + "|" + m_answerer->seen.at(i).text;
    }
    QSize thumbnail(int row) const
    {
        return label(row, "labelImage")->pixmap(Qt::ReturnByValue).size();
    }

    void addPages(const QList<QImage> &images)
    {
        for (const QImage &image : images) {
            m_sources.append(image);
            m_window->AddImage(store()->AddImage(new QImage(image)));
        }
        QCoreApplication::processEvents(); // the scroll area lays out its bars on posted events
    }
    void clickTool(const char *name)
    {
        auto *bar = m_window->findChild<QToolBar *>("mainToolBar");
        QTest::mouseClick(bar->widgetForAction(m_window->findChild<QAction *>(name)),
                          Qt::LeftButton);
    }
    void clickImage(const QPoint &p)
    {
        QTest::mouseClick(view(), Qt::LeftButton, {}, view()->P2V(p));
    }
    void moveToImage(const QPoint &p) { QTest::mouseMove(view(), view()->P2V(p)); }
    // Through the window system: the press starts the implicit grab that keeps the moves here.
    void middle(QTest::MouseAction action, const QPoint &viewPos)
    {
        const QPoint at = view()->mapTo(m_window.get(), viewPos);
        QTest::mouseEvent(action, m_window->windowHandle(), Qt::MiddleButton, {}, at);
    }
private slots:
    void init()
    {
        TestEnvironment::resetRecord();
        m_dir.reset(new QTemporaryDir);
        ParamSetting::instance.save_path = m_dir->path();
        m_answerer.reset(new ModalAnswerer);
        m_window.reset(new PreviewWindow);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QCOMPARE(zoomText(), QString("100%")); // from construction on
    }

    void cleanup()
    {
        m_window->ClearImage();
        store()->ClearImages();
        m_sources.clear();
    }

    void zoom_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<float>("minScale");
        QTest::addColumn<float>("maxScale");
        QTest::newRow("A4 300 dpi") << QSize(2480, 3508) << 50.0f / 2480 << 20000.0f / 3508;
        QTest::newRow("100 x 100") << QSize(100, 100) << 0.5f << 10.0f;
        QTest::newRow("200 x 150") << QSize(200, 150) << 1.0f / 3 << 10.0f;
        QTest::newRow("10 x 40000") << QSize(10, 40000) << 1.0f << 1.0f;
    }

    void zoom()
    {
        QFETCH(QSize, size);
        QFETCH(float, minScale);
        QFETCH(float, maxScale);
        addPages({page(size.width(), size.height())});
        QCOMPARE(view()->minScale(), minScale);
        QCOMPARE(view()->maxScale(), maxScale);
        const QSize viewport = area()->viewport()->size(), margin = viewport - size;
        QCOMPARE(view()->size(), size.expandedTo(viewport)); // a smaller image is centred
        QCOMPARE(view()->P2V({0, 0}),
                 QPoint(qMax(0, margin.width()) / 2, qMax(0, margin.height()) / 2));
        // Without exactly Ctrl the wheel scrolls (where there is room) instead of zooming.
        for (auto mods : {Qt::KeyboardModifiers(), Qt::ControlModifier | Qt::ShiftModifier}) {
            area()->verticalScrollBar()->setValue(0);
            wheel(view(), -120, mods);
            QCOMPARE(area()->verticalScrollBar()->value() > 0, margin.height() < 0);
            QCOMPARE(zoomText(), QString("100%"));
        }
        wheel(view(), 120);
        QCOMPARE(zoomText(), QString(maxScale > 1.12f ? "112%" : "100%"));
        wheel(view(), -120);
        QVERIFY(view()->scale() == 1.0f); // snapped exactly, not 0.9856
        for (int i = 0; i < 40; ++i)      // however far the wheel turns, the limits hold
            wheel(view(), 120);
        QVERIFY(view()->scale() <= maxScale && view()->scale() * 1.12f > maxScale);
        clickTool("action_resize");
        QCOMPARE(zoomText(), QString("100%"));
        for (int i = 0; i < 80; ++i)
            wheel(view(), -120);
        QVERIFY(view()->scale() >= minScale && view()->scale() * 0.88f < minScale);
    }

    void captureStateMachine()
    {
        addPages({page(200, 150, 7)});
        ImageView *v = view();
        clickImage({20, 30}); // not armed: nothing
        QCOMPARE(state(), 0);
        clickTool("action_screenshot");
        clickImage({-10, 30}); // in the grey margin
        QCOMPARE(state(), 1);
        clickImage({20, 30});
        QCOMPARE(state(), 2);
        moveToImage({120, 100});
        QTRY_COMPARE(v->cursor().shape(), Qt::CrossCursor);
        const QImage withRect = v->grab().toImage();
        moveToImage({205, 100}); // off the image: collapsed to the first corner
        QTRY_COMPARE(v->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(v->shotEnd(), QPoint(20, 30));
        const QImage collapsed = v->grab().toImage();
        QVERIFY(withRect != collapsed);
        moveToImage({20, 100}); // corners on one vertical line: no rectangle either
        QTRY_COMPARE(v->shotEnd(), QPoint(20, 100));
        QCOMPARE(v->grab().toImage(), collapsed);
        QTest::keyClick(v, Qt::Key_Return); // first corner only: nothing
        QCOMPARE(state(), 2);
        clickImage({20, 100}); // done, but encloses nothing: Return saves nothing
        QTest::keyClick(v, Qt::Key_Return);
        QCOMPARE(state(), 3);
        QCOMPARE(m_answerer->seen.size(), 0);
        clickImage({50, 60}); // a press when done starts a new rectangle
        QCOMPARE(state(), 2);
        moveToImage({100, 90});
        QTRY_COMPARE(v->cursor().shape(), Qt::CrossCursor);
        QTest::keyClick(v, Qt::Key_Escape);
        QCOMPARE(state(), 0);
        QCOMPARE(v->cursor().shape(), Qt::ArrowCursor);
    }

    void captureFormats_data()
    {
        QTest::addColumn<int>("saveType");
        QTest::addColumn<QString>("typed"); // empty: the dialog is cancelled
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("format"); // image format, "pdf", or empty: cannot write
        // name, save type, typed name, file written, format written
        for (const char *row :
             {"JPG after .png|0|cap.png|cap.png.jpg|jpeg", "PDF|1|cap|cap.pdf|pdf",
              "TIFF|2|cap|cap.tiff|tiff", "OFD|3|cap|cap.ofd|pdf", "PNG|4|cap|cap.png|png",
              "BMP typed .bmp|5|cap.bmp|cap.bmp|bmp", "BMP typed .png|5|cap.png|cap.png|png",
              "BMP no suffix|5|cap|cap.bmp|bmp", "merged typed .ofd|6|cap.ofd|cap.ofd|pdf",
              "merged no suffix|6|cap|cap.pdf|pdf", "cancelled|4|||",
              "target is a folder|4|cap|cap.png|"}) {
            const QStringList f = QString(row).split('|');
            QTest::newRow(qPrintable(f[0])) << f[1].toInt() << f[2] << f[3] << f[4];
        }
    }

    // An older file of the final name (also an ".ofd") is replaced and nothing else remains.
    void captureFormats()
    {
        QFETCH(int, saveType);
        QFETCH(QString, typed);
        QFETCH(QString, file);
        QFETCH(QString, format);
        ParamSetting::instance.save_type = saveType;
        addPages({page(160, 120, 3)});
        const QString path = m_dir->filePath(file);
        const bool fails = format.isEmpty() && !file.isEmpty();
        if (!file.isEmpty())
            QVERIFY(fails ? QDir().mkdir(path) : writeBytes(path, "an older capture"));
        clickTool("action_screenshot"); // far corner first, on the right edge (still inside)
        clickImage({160, 70});
        clickImage({10, 20});
        if (typed.isEmpty())
            m_answerer->expectReject();
        else
            m_answerer->expectFileDialog(m_dir->filePath(typed));
        const bool asks = !typed.isEmpty() && typed == file; // the dialog's own replace question
        if (asks)
            m_answerer->expectMessageBox(QMessageBox::Yes);
        m_answerer->expectMessageBox(QMessageBox::Ok);   // the failure warning
        m_answerer->expectMessageBox(QMessageBox::Ok);   // must stay unused
        QTest::keyClick(m_window.get(), Qt::Key_Return); // the window handles it like the view
        QCOMPARE(m_answerer->seen.first().title, QString("截取"));
        QCOMPARE(m_answerer->seen.size(), 1 + asks + fails);
        QCOMPARE(state(), 0);
        QCOMPARE(entries(m_dir->path()), file.isEmpty() ? QStringList() : QStringList({file}));
        if (!format.isEmpty())
            checkWritten(path, format, m_sources.first().copy(10, 20, 150, 50));
        if (fails)
            QCOMPARE(box(1 + asks), QString("警告|无法写入 %1").arg(path));
    }

    void thumbnailsAndRotation()
    {
        addPages({page(120, 80, 1), page(90, 60, 2), page(2480, 3508)});
        QVERIFY(thumbnail(1) == QSize(200, 133) && thumbnail(2) == QSize(141, 200));
        QCOMPARE(view()->image(), store()->at(2)->image); // the last page added is shown
        clickTool("action_rotateCW");                     // no thumbnail clicked yet: nothing turns
        QCOMPARE(stored(2), m_sources.at(2));

        const QRect second = list()->visualItemRect(list()->item(1));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(store()->curIndex(), 1);
        wheel(view(), 120);
        QTest::keyClick(list()->viewport(), Qt::Key_Down); // moves the list's row, not the page
        clickTool("action_rotateCW");
        // Turned clockwise: new (x, y) = old (y, h - 1 - x); the other pages unchanged.
        QCOMPARE(stored(1).size(), QSize(60, 90));
        for (int i = 0; i < 60 * 90; ++i)
            QCOMPARE(stored(1).pixel(i % 60, i / 60), m_sources.at(1).pixel(i / 60, 59 - i % 60));
        QVERIFY(stored(0) == m_sources.at(0) && stored(2) == m_sources.at(2));
        QCOMPARE(view()->image(), store()->at(1)->image);
        QCOMPARE(zoomText(), QString("100%"));
        // Row i still shows store page i; only the turned entry is rebuilt, on a white box.
        for (int i = 0; i < 3; ++i)
            QCOMPARE(label(i, "LableName")->text(), store()->at(i)->name);
        QVERIFY(thumbnail(1) == QSize(133, 200) && thumbnail(2) == QSize(141, 200));
        QCOMPARE(label(1, "labelImage")->grab().toImage().pixelColor(2, 100), QColor(Qt::white));
        QCOMPARE(label(0, "labelImage")->grab().toImage().pixelColor(100, 2).alpha(), 0);
        clickTool("action_rotateCCW");
        QCOMPARE(stored(1), m_sources.at(1));
    }

    // Panning scrolls by the drag's share of the part of the image that does not fit. Here the
    // image is exactly as tall as the scroll area: the vertical bar has a range, yet nothing is
    // scrolled vertically (no division by zero); horizontally it scrolls.
    void panning()
    {
        addPages({page(2000, area()->height())});
        QScrollBar *vbar = area()->verticalScrollBar(), *hbar = area()->horizontalScrollBar();
        QVERIFY(vbar->maximum() > 0);
        vbar->setValue(vbar->maximum());
        middle(QTest::MousePress, {300, 100});
        QCOMPARE(view()->cursor().shape(), Qt::ClosedHandCursor);
        middle(QTest::MouseMove, {250, 90});
        QTRY_COMPARE(hbar->value(), int(50.0f / (2000 - area()->width()) * hbar->maximum()));
        QCOMPARE(vbar->value(), vbar->maximum());
        middle(QTest::MouseRelease, {250, 90});
        QCOMPARE(view()->cursor().shape(), Qt::ArrowCursor);
    }

    void exportPages_data()
    {
        QTest::addColumn<int>("saveType");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("existing"); // bit i: page i's target exists; -1: no folder chosen
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("folders"); // the existing targets are folders: unwritable
        // name, save type, pages, existing, answer yes, existing are folders
        for (const char *row :
             {"JPG|0|3|0", "PDF|1|3|0", "TIFF|2|3|0", "OFD|3|3|0", "PNG|4|3|0", "BMP|5|3|0",
              "merged PDF|6|3|0", "empty store|0|0|0", "cancelled|0|3|-1", "JPG first, yes|0|3|1|1",
              "JPG first, no|0|3|1|0", "JPG third, yes|0|3|4|1", "JPG third, no|0|3|4|0",
              "PNG first, no|4|3|1|0", "OFD third, yes|3|3|4|1", "merged, yes|6|3|1|1",
              "merged, no|6|3|1|0", "two unwritable|0|3|3|1|1"}) {
            const QStringList f = QString(row).split('|') + QStringList{"0", "0"};
            QTest::newRow(qPrintable(f[0]))
                << f[1].toInt() << f[2].toInt() << f[3].toInt() << (f[4] == "1") << (f[5] == "1");
        }
    }

    // One question, whichever page's file exists; its answer applies to all pages. Failures are
    // reported once, naming the first file. No intermediate or temporary files remain.
    void exportPages()
    {
        QFETCH(int, saveType);
        QFETCH(int, pages);
        QFETCH(int, existing);
        QFETCH(bool, yes);
        QFETCH(bool, folders);
        const QString suffix = QString(".jpg .pdf .tiff .ofd .png .bmp .pdf").split(' ')[saveType];
        const QString format = QString("jpeg pdf tiff pdf png bmp pdf").split(' ')[saveType];
        ParamSetting::instance.save_type = saveType;
        addPages(QList<QImage>{page(60, 40, 1), page(50, 70, 2), page(30, 30, 3)}.mid(0, pages));
        for (int i = 0; i < 3 && existing > 0; ++i) {
            if (existing & (1 << i))
                QVERIFY(folders ? QDir().mkdir(pageFile(i, suffix))
                                : writeBytes(pageFile(i, suffix), "an earlier export"));
        }
        clickTool("action_screenshot");
        if (existing < 0)
            m_answerer->expectReject();
        else
            m_answerer->expectFileDialog(m_dir->path());
        if (existing > 0)
            m_answerer->expectMessageBox(yes ? QMessageBox::Yes : QMessageBox::No);
        m_answerer->expectMessageBox(QMessageBox::Ok); // the failure warning
        m_answerer->expectMessageBox(QMessageBox::Ok); // must stay unused
        clickTool("action_save");
        QCOMPARE(state(), 0); // export ends capture
        QCOMPARE(m_answerer->seen.first().title, QString("保存"));
        QCOMPARE(m_answerer->seen.size(), 1 + (existing > 0) + folders);
        if (existing > 0)
            QCOMPARE(box(1), QString("提示|文件已存在，是否替换？"));
        if (folders)
            QCOMPARE(box(2), QString("警告|无法写入 %1").arg(pageFile(0, suffix)));
        const int files = existing < 0 ? 0 : saveType == 6 ? qMin(pages, 1) : pages;
        QCOMPARE(entries(m_dir->path()).size(), files);
        for (int i = 0; i < files; ++i) {
            const QString file = pageFile(i, suffix);
            if ((existing & (1 << i)) && (folders || !yes))
                QVERIFY(folders ? QFileInfo(file).isDir() : readAll(file) == "an earlier export");
            else
                checkWritten(file, format, m_sources.at(i), saveType == 6 ? 3 : 1);
        }
    }
};

SCANCONSOLE_TEST_MAIN(TestPreview)
#include "tst_preview.moc"
