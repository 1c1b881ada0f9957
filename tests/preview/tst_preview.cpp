#include "imaging/ImageManager.h"
#include "preview/ImageView.h"
#include "preview/PreviewWindow.h"
#include "settings/ParamSetting.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest/qtestspontaneevent.h>
#include <QtTest>

#include <memory>

namespace {

QString zh(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Random pixels for a seed, one flat colour for seed 0 (quick for large pages).
QImage page(int w, int h, quint32 seed = 0)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(120, 160, 200));
    QRandomGenerator rng(seed);
    for (int y = 0; seed && y < h; ++y) {
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, 0xff000000u | (rng.generate() & 0xffffffu));
    }
    return image;
}

// Clockwise quarter turn, pixel by pixel: new(x, y) = old(y, h - 1 - x).
QImage turnedClockwise(const QImage &src)
{
    QImage out(src.height(), src.width(), QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x)
            out.setPixel(x, y, src.pixel(y, src.height() - 1 - x));
    }
    return out;
}

bool samePixels(const QImage &a, const QImage &b)
{
    return a.size() == b.size() &&
           a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

QByteArray readAll(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Page objects ("/Type /Page", not the "/Type /Pages" tree); -1 when the file is no PDF.
int pdfPageCount(const QString &file)
{
    const QByteArray bytes = readAll(file);
    return bytes.startsWith("%PDF") ? bytes.count("/Type /Page") - bytes.count("/Type /Pages")
                                    : -1;
}

void writeBytes(const QString &file, const QByteArray &bytes)
{
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Spontaneous, as from the window system, so an ignored event travels on to the scroll area.
void wheel(QWidget *w, int delta, Qt::KeyboardModifiers mods = Qt::ControlModifier)
{
    const QPoint pos(5, 5);
    QWheelEvent event(QPointF(pos), QPointF(w->mapToGlobal(pos)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, mods, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    qApp->notify(w, &event);
}

} // namespace

// The preview window, its thumbnail list and its image view, driven through their widgets.
class TestPreview : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PreviewWindow> m_window;
    std::unique_ptr<ModalAnswerer> m_answerer;
    std::unique_ptr<QTemporaryDir> m_dir;
    QList<QImage> m_sources;

    ImageView *view() const { return m_window->findChild<ImageView *>("imageView"); }
    QScrollArea *area() const { return m_window->findChild<QScrollArea *>("scrollArea"); }
    QListWidget *list() const { return m_window->findChild<QListWidget *>("ImageListWidget"); }
    QString zoom() const { return m_window->findChild<QLabel *>("label_zoom")->text(); }
    int state() const { return view()->shotState(); }
    QString dir() const { return m_dir->path(); }
    ImageManager *store() const { return ImageManager::Instance(); }
    QImage stored(int i) const { return *store()->at(i)->image; }
    QLabel *picture(int row) const
    {
        return list()->itemWidget(list()->item(row))->findChild<QLabel *>("labelImage");
    }
    QString pageFile(int i, const QString &suffix) const
    {
        return dir() + "/" + store()->at(i)->name + suffix;
    }

    void addPages(const QList<QImage> &images)
    {
        for (const QImage &image : images) {
            m_sources.append(image);
            m_window->AddImage(store()->AddImage(new QImage(image)));
        }
        QCoreApplication::processEvents(); // the scroll area lays out its bars on posted events
    }

    void clickTool(const char *actionName)
    {
        auto *action = m_window->findChild<QAction *>(actionName);
        QVERIFY2(action, actionName);
        QWidget *button = m_window->findChild<QToolBar *>("mainToolBar")->widgetForAction(action);
        QVERIFY2(button, actionName);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void clickImage(const QPoint &p)
    {
        QTest::mouseClick(view(), Qt::LeftButton, Qt::NoModifier, view()->P2V(p));
    }
    void moveToImage(const QPoint &p) { QTest::mouseMove(view(), view()->P2V(p)); }

    // Through the window system: the press starts the implicit grab that keeps the moves here.
    void middle(QTest::MouseAction action, const QPoint &viewPos)
    {
        const QPoint at = view()->mapTo(m_window.get(), viewPos);
        if (action == QTest::MouseMove)
            QTest::mouseMove(m_window->windowHandle(), at);
        else
            QTest::mouseEvent(action, m_window->windowHandle(), Qt::MiddleButton, {}, at);
    }

    void clickThumbnail(int row)
    {
        list()->scrollToItem(list()->item(row));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list()->visualItemRect(list()->item(row)).center());
    }

    void captureRegion(const QPoint &first, const QPoint &second)
    {
        clickTool("action_screenshot");
        clickImage(first);
        clickImage(second);
        QCOMPARE(state(), int(ImageView::ShotDone));
    }

private slots:
    void init()
    {
        TestEnvironment::resetRecord();
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
        ParamSetting::instance.save_path = dir();
        ParamSetting::instance.save_type = 0;
        m_answerer.reset(new ModalAnswerer);
        m_window.reset(new PreviewWindow);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        m_window->ClearImage();
        store()->ClearImages();
        m_window.reset();
        m_answerer.reset();
        m_sources.clear();
        m_dir.reset();
    }

    void windowTexts()
    {
        QStringList texts{m_window->windowTitle(),
                          m_window->findChild<QDockWidget *>("dock_imageManager")->windowTitle()};
        for (QAction *a : m_window->menuBar()->actions())
            texts << a->text();
        for (const char *name : {"action_save", "action_quit", "action_screenshot",
                                 "action_rotateCCW", "action_rotateCW", "action_resize"})
            texts << m_window->findChild<QAction *>(name)->text();
        QCOMPARE(texts, zh("预览|图片管理器|文件(&F)|编辑(&E)|保存|退出|截取|逆时针旋转90度|"
                           "顺时针旋转90度|图像原始大小")
                            .split('|'));
        QCOMPARE(m_window->findChild<QAction *>("action_save")->shortcut(), QKeySequence("Ctrl+S"));
        // Quit only hides the window; it stays the one instance.
        m_window->findChild<QAction *>("action_quit")->trigger();
        QVERIFY(!m_window->isVisible());
        QCOMPARE(PreviewWindow::m_Instance, m_window.get());
    }

    void zoomLimits_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<float>("minScale");
        QTest::addColumn<float>("maxScale");
        QTest::newRow("A4 300 dpi") << QSize(2480, 3508) << 50.0f / 2480 << 20000.0f / 3508;
        QTest::newRow("100 x 100") << QSize(100, 100) << 0.5f << 10.0f;
        QTest::newRow("10 x 40000") << QSize(10, 40000) << 1.0f << 1.0f;
    }

    void zoomLimits()
    {
        QFETCH(QSize, size);
        QFETCH(float, minScale);
        QFETCH(float, maxScale);
        addPages({page(size.width(), size.height())});
        QCOMPARE(view()->minScale(), minScale);
        QCOMPARE(view()->maxScale(), maxScale);
        // A wheel turn without exactly Ctrl scrolls (where there is room) instead of zooming.
        for (Qt::KeyboardModifiers mods :
             {Qt::KeyboardModifiers(Qt::NoModifier), Qt::ControlModifier | Qt::ShiftModifier}) {
            area()->verticalScrollBar()->setValue(0);
            wheel(view(), -120, mods);
            QCOMPARE(area()->verticalScrollBar()->value() > 0, size.height() > 1000);
            QCOMPARE(zoom(), QString("100%"));
        }
        // However far the wheel turns, the scale stays inside the limits.
        for (int i = 0; i < 40; ++i) {
            wheel(view(), 120);
            QVERIFY(view()->scale() <= maxScale);
        }
        QVERIFY(view()->scale() * 1.12f > maxScale);
        for (int i = 0; i < 80; ++i) {
            wheel(view(), -120);
            QVERIFY(view()->scale() >= minScale);
        }
        QVERIFY(view()->scale() * 0.88f < minScale);
    }

    void wheelZoomCentringAndResize()
    {
        // Without an image "100%" only ends capture.
        clickTool("action_screenshot");
        m_window->UpdateStatueScale(50);
        clickTool("action_resize");
        QCOMPARE(state(), int(ImageView::ShotNone));
        QCOMPARE(zoom(), QString("50%"));

        addPages({page(200, 150)});
        const QSize viewport = area()->viewport()->size();
        QCOMPARE(view()->size(), viewport); // smaller than the viewport: centred
        QCOMPARE(view()->P2V(QPoint(0, 0)), QPoint(int((viewport.width() - 200) * 0.5f),
                                                   int((viewport.height() - 150) * 0.5f)));
        wheel(view(), 120);
        QCOMPARE(view()->scale(), 1.12f);
        QCOMPARE(zoom(), QString("112%"));
        wheel(view(), -120);
        QVERIFY(view()->scale() == 1.0f); // snapped exactly, not 0.9856
        wheel(view(), -120);
        QCOMPARE(zoom(), QString("88%"));
        clickTool("action_screenshot");
        clickTool("action_resize");
        QVERIFY(view()->scale() == 1.0f);
        QCOMPARE(zoom(), QString("100%"));
        QCOMPARE(state(), int(ImageView::ShotNone));
    }

    void viewCommandsKeepTheLimits()
    {
        addPages({page(10, 40000)});
        view()->FitView(); // would need 0.75 %, below the limit of 100 %
        view()->EnlargeView();
        QCOMPARE(view()->scale(), 1.0f);
        QCOMPARE(zoom(), QString("100%"));
        addPages({page(2480, 3508)});
        const QSize viewport = area()->viewport()->size();
        view()->FitView();
        QCOMPARE(view()->scale(),
                 qMin(float(viewport.width()) / 2480, float(viewport.height()) / 3508));
    }

    void captureStateMachine()
    {
        addPages({page(200, 150, 7)});
        ImageView *v = view();
        clickImage(QPoint(20, 30)); // not armed: nothing
        QCOMPARE(state(), int(ImageView::ShotNone));
        clickTool("action_screenshot");
        clickImage(QPoint(-10, 30)); // in the grey margin
        QCOMPARE(state(), int(ImageView::ShotArmed));
        clickImage(QPoint(20, 30));
        QCOMPARE(state(), int(ImageView::ShotSelecting));
        QCOMPARE(v->shotStart(), QPoint(20, 30));

        moveToImage(QPoint(120, 100));
        QTRY_COMPARE(v->shotEnd(), QPoint(120, 100));
        QCOMPARE(v->cursor().shape(), Qt::CrossCursor);
        const QImage withRect = v->grab().toImage();
        moveToImage(QPoint(205, 100)); // off the image: collapsed to the first corner
        QTRY_COMPARE(v->shotEnd(), QPoint(20, 30));
        QCOMPARE(v->cursor().shape(), Qt::ArrowCursor);
        const QImage collapsed = v->grab().toImage();
        moveToImage(QPoint(20, 100)); // corners on one vertical line: no rectangle
        QTRY_COMPARE(v->shotEnd(), QPoint(20, 100));
        QCOMPARE(v->grab().toImage(), collapsed);
        // The dashed red line runs along the top edge of the rectangle.
        const QPoint left = v->P2V(QPoint(20, 30)), right = v->P2V(QPoint(120, 30));
        int reddened = 0;
        for (int y = left.y() - 1; y <= left.y() + 1; ++y) {
            for (int x = left.x(); x < right.x(); ++x) {
                const QColor now = withRect.pixelColor(x, y), was = collapsed.pixelColor(x, y);
                reddened += now != was && now.red() >= was.red() && now.green() <= was.green();
            }
        }
        QVERIFY2(reddened > 40, qPrintable(QString::number(reddened)));

        QTest::keyClick(v, Qt::Key_Return); // first corner only: nothing
        QCOMPARE(state(), int(ImageView::ShotSelecting));
        QCOMPARE(m_answerer->seen.size(), 0);
        clickImage(QPoint(120, 100));
        QCOMPARE(state(), int(ImageView::ShotDone));
        clickImage(QPoint(50, 60)); // a press when done starts a new rectangle
        QCOMPARE(state(), int(ImageView::ShotSelecting));
        QCOMPARE(v->shotStart(), QPoint(50, 60));
        moveToImage(QPoint(100, 90));
        QTRY_COMPARE(v->cursor().shape(), Qt::CrossCursor);
        QTest::keyClick(v, Qt::Key_Escape);
        QCOMPARE(state(), int(ImageView::ShotNone));
        QCOMPARE(v->shotStart(), QPoint(0, 0));
        QCOMPARE(v->cursor().shape(), Qt::ArrowCursor);

        // Re-arming clears the corners; the window's Escape ends capture too.
        captureRegion(QPoint(10, 10), QPoint(30, 30));
        clickTool("action_screenshot");
        QCOMPARE(state(), int(ImageView::ShotArmed));
        QCOMPARE(v->shotEnd(), QPoint(0, 0));
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        QCOMPARE(state(), int(ImageView::ShotNone));
    }

    void captureFormats_data()
    {
        QTest::addColumn<int>("saveType");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("format"); // image format, or "pdf"
        QTest::newRow("JPG after .png") << 0 << "cap.png" << "cap.png.jpg" << QByteArray("jpeg");
        QTest::newRow("PDF") << 1 << "cap" << "cap.pdf" << QByteArray("pdf");
        QTest::newRow("TIFF") << 2 << "cap" << "cap.tiff" << QByteArray("tiff");
        QTest::newRow("OFD") << 3 << "cap" << "cap.ofd" << QByteArray("pdf");
        QTest::newRow("PNG") << 4 << "cap" << "cap.png" << QByteArray("png");
        QTest::newRow("BMP") << 5 << "cap" << "cap.bmp" << QByteArray("bmp");
        QTest::newRow("merged PDF") << 6 << "cap" << "cap.pdf" << QByteArray("pdf");
    }

    // The configured format decides; an older file of the final name (also an ".ofd") is
    // replaced and nothing else remains.
    void captureFormats()
    {
        QFETCH(int, saveType);
        QFETCH(QString, typed);
        QFETCH(QString, file);
        QFETCH(QByteArray, format);
        ParamSetting::instance.save_type = saveType;
        const QImage source = page(160, 120, 3);
        addPages({source});
        const QString path = dir() + "/" + file;
        writeBytes(path, "an older capture");
        // Far corner first, on the image's right edge (x == width counts as inside).
        captureRegion(QPoint(160, 70), QPoint(10, 20));
        m_answerer->expectFileDialog(dir() + "/" + typed);
        QTest::keyClick(m_window.get(), Qt::Key_Return); // the window handles it like the view
        QCOMPARE(m_answerer->seen.size(), 1);
        QCOMPARE(m_answerer->seen.first().title, zh("截取"));
        QCOMPARE(entries(dir()), QStringList({file}));
        QCOMPARE(state(), int(ImageView::ShotNone));
        if (format == "pdf") {
            QCOMPARE(pdfPageCount(path), 1);
        } else {
            QImageReader reader(path);
            QCOMPARE(reader.format(), format);
            const QImage saved = reader.read();
            QCOMPARE(saved.size(), QSize(150, 50));
            QVERIFY(format == "jpeg" || samePixels(saved, source.copy(10, 20, 150, 50)));
        }
    }

    void captureCancelledAndFailed()
    {
        ParamSetting::instance.save_type = 4;
        addPages({page(160, 120, 9)});
        captureRegion(QPoint(10, 20), QPoint(90, 70));
        m_answerer->expectReject();
        QTest::keyClick(view(), Qt::Key_Return);
        QCOMPARE(m_answerer->seen.size(), 1);
        QCOMPARE(state(), int(ImageView::ShotNone));
        QVERIFY(entries(dir()).isEmpty());

        // Corners on one line enclose nothing: Return saves nothing and asks nothing.
        captureRegion(QPoint(10, 20), QPoint(10, 70));
        QTest::keyClick(view(), Qt::Key_Return);
        QCOMPARE(m_answerer->seen.size(), 1);
        QCOMPARE(state(), int(ImageView::ShotDone));
        QTest::keyClick(view(), Qt::Key_Escape);

        // The target is a folder: one warning names it, capture ends.
        QVERIFY(QDir(dir()).mkdir("cap.png"));
        captureRegion(QPoint(10, 20), QPoint(90, 70));
        m_answerer->expectFileDialog(dir() + "/cap");
        m_answerer->expectMessageBox(QMessageBox::Ok);
        m_answerer->expectMessageBox(QMessageBox::Ok); // must stay unused
        QTest::keyClick(view(), Qt::Key_Return);
        QCOMPARE(m_answerer->seen.size(), 3);
        QCOMPARE(m_answerer->pending(), 1);
        QCOMPARE(m_answerer->seen.at(2).title, zh("警告"));
        QCOMPARE(m_answerer->seen.at(2).text, zh("无法写入 %1").arg(dir() + "/cap.png"));
        QCOMPARE(state(), int(ImageView::ShotNone));
        QCOMPARE(entries(dir()), QStringList({"cap.png"}));
    }

    void thumbnailsAndRotation()
    {
        addPages({page(120, 80, 1), page(90, 60, 2), page(2480, 3508)});
        QCOMPARE(list()->count(), 3);
        QCOMPARE(picture(1)->pixmap(Qt::ReturnByValue).size(), QSize(200, 133));
        QCOMPARE(picture(2)->pixmap(Qt::ReturnByValue).size(), QSize(141, 200));
        // The view shows the last page added; until a thumbnail is clicked nothing turns.
        QCOMPARE(view()->image(), store()->at(2)->image);
        clickTool("action_rotateCW");
        for (int i = 0; i < 3; ++i)
            QVERIFY(samePixels(stored(i), m_sources.at(i)));

        clickThumbnail(1);
        QCOMPARE(store()->curIndex(), 1);
        wheel(view(), 120);
        QCOMPARE(zoom(), QString("112%"));
        clickTool("action_rotateCW");
        QVERIFY(samePixels(stored(1), turnedClockwise(m_sources.at(1))));
        QVERIFY(samePixels(stored(0), m_sources.at(0)));
        QVERIFY(samePixels(stored(2), m_sources.at(2)));
        QCOMPARE(view()->image(), store()->at(1)->image);
        QCOMPARE(zoom(), QString("100%"));
        // Only the turned entry is rebuilt, showing the turned page on a white box.
        QCOMPARE(picture(1)->pixmap(Qt::ReturnByValue).size(), QSize(133, 200));
        QCOMPARE(picture(1)->grab().toImage().pixelColor(2, 100), QColor(Qt::white));
        QCOMPARE(picture(0)->grab().toImage().pixelColor(100, 2).alpha(), 0);
        QVERIFY(picture(2)->styleSheet().startsWith("background-color: transparent;"));
        clickTool("action_rotateCCW");
        QVERIFY(samePixels(stored(1), m_sources.at(1)));
        m_window->slotRotateCW180();
        QVERIFY(samePixels(stored(1), turnedClockwise(turnedClockwise(m_sources.at(1)))));

        m_window->ClearImage();
        QCOMPARE(list()->count(), 0);
        QVERIFY(!view()->image());
        m_window->ClearImage(); // on an empty list
        QCOMPARE(list()->count(), 0);
    }

    void panning()
    {
        addPages({page(1500, 1200)});
        QScrollBar *vbar = area()->verticalScrollBar();
        QScrollBar *hbar = area()->horizontalScrollBar();
        const int vmax = vbar->maximum(), hmax = hbar->maximum();
        middle(QTest::MousePress, QPoint(200, 150));
        QCOMPARE(view()->cursor().shape(), Qt::ClosedHandCursor);
        middle(QTest::MouseMove, QPoint(150, 110));
        QTRY_COMPARE(vbar->value(), int(40.0f / (1200 - area()->height()) * vmax));
        QCOMPARE(hbar->value(), int(50.0f / (1500 - area()->width()) * hmax));
        middle(QTest::MouseRelease, QPoint(150, 110));
        QCOMPARE(view()->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!view()->isMoving());

        // Taller than the viewport but not than the scroll area: the vertical bar has a range,
        // yet nothing is scrolled vertically (no division by zero); horizontally it scrolls.
        m_window->ClearImage();
        addPages({page(2000, area()->height() - 1)});
        QVERIFY(vbar->maximum() > 0);
        vbar->setValue(vbar->maximum());
        hbar->setValue(0);
        middle(QTest::MousePress, QPoint(300, 100));
        middle(QTest::MouseMove, QPoint(250, 90));
        QTRY_VERIFY(hbar->value() > 0);
        QCOMPARE(vbar->value(), vbar->maximum());
        middle(QTest::MouseRelease, QPoint(250, 90));
    }

    void exportCancelledOrEmpty()
    {
        // Empty store: the folder is asked for, then nothing happens.
        m_answerer->expectFileDialog(dir());
        m_answerer->expectMessageBox(QMessageBox::Yes); // must stay unused
        clickTool("action_save");
        QCOMPARE(m_answerer->seen.size(), 1);
        QCOMPARE(m_answerer->seen.first().title, zh("保存"));
        QCOMPARE(m_answerer->pending(), 1);
        QVERIFY(entries(dir()).isEmpty());

        m_answerer.reset(new ModalAnswerer);
        addPages({page(60, 40, 1)});
        clickTool("action_screenshot");
        m_answerer->expectReject();
        clickTool("action_save");
        QCOMPARE(m_answerer->seen.size(), 1);
        QVERIFY(entries(dir()).isEmpty());
        QCOMPARE(state(), int(ImageView::ShotNone)); // export ends capture
    }

    void exportPages_data()
    {
        QTest::addColumn<int>("saveType");
        QTest::addColumn<int>("existing"); // page index whose target exists, or -1
        QTest::addColumn<bool>("yes");
        const char *names[] = {"JPG", "PDF", "TIFF", "OFD", "PNG", "BMP", "merged PDF"};
        for (int type = 0; type < 7; ++type)
            QTest::newRow(names[type]) << type << -1 << false;
        QTest::newRow("JPG first, yes") << 0 << 0 << true;
        QTest::newRow("JPG first, no") << 0 << 0 << false;
        QTest::newRow("JPG third, yes") << 0 << 2 << true;
        QTest::newRow("JPG third, no") << 0 << 2 << false;
        QTest::newRow("PNG first, no") << 4 << 0 << false;
        QTest::newRow("OFD third, yes") << 3 << 2 << true;
        QTest::newRow("merged, yes") << 6 << 0 << true;
        QTest::newRow("merged, no") << 6 << 0 << false;
    }

    // One question, whichever page's file exists; its answer applies to all pages. No
    // intermediate or temporary files remain.
    void exportPages()
    {
        QFETCH(int, saveType);
        QFETCH(int, existing);
        QFETCH(bool, yes);
        const QString suffix = QString(".jpg .pdf .tiff .ofd .png .bmp .pdf").split(' ')[saveType];
        const QByteArray format = QByteArray("jpeg pdf tiff pdf png bmp pdf").split(' ')[saveType];
        ParamSetting::instance.save_type = saveType;
        addPages({page(60, 40, 1), page(50, 70, 2), page(30, 30, 3)});
        const QString old = existing < 0 ? QString() : pageFile(existing, suffix);
        const QByteArray oldBytes("written by an earlier export");
        m_answerer->expectFileDialog(dir());
        if (existing >= 0) {
            writeBytes(old, oldBytes);
            m_answerer->expectMessageBox(yes ? QMessageBox::Yes : QMessageBox::No);
        }
        m_answerer->expectMessageBox(QMessageBox::Ok); // must stay unused
        clickTool("action_save");
        QCOMPARE(m_answerer->pending(), 1);
        if (existing >= 0) {
            QCOMPARE(m_answerer->seen.size(), 2);
            QCOMPARE(m_answerer->seen.at(1).title, zh("提示"));
            QCOMPARE(m_answerer->seen.at(1).text, zh("文件已存在，是否替换？"));
            QCOMPARE(readAll(old) == oldBytes, !yes);
        }

        const int files = saveType == 6 ? 1 : 3;
        QStringList expected;
        for (int i = 0; i < files; ++i)
            expected << store()->at(i)->name + suffix;
        expected.sort();
        QCOMPARE(entries(dir()), expected);
        for (int i = 0; i < files; ++i) {
            const QString file = pageFile(i, suffix);
            if (file == old && !yes)
                continue;
            if (format == "pdf") {
                QCOMPARE(pdfPageCount(file), 4 - files);
                continue;
            }
            QImageReader reader(file);
            QCOMPARE(reader.format(), format);
            const QImage back = reader.read();
            QCOMPARE(back.size(), m_sources.at(i).size());
            QVERIFY(format == "jpeg" || samePixels(back, m_sources.at(i)));
        }
    }

    void exportFailureReportedOnce()
    {
        addPages({page(60, 40, 1), page(50, 70, 2), page(30, 30, 3)});
        // Two targets cannot be written: they are folders.
        QVERIFY(QDir().mkdir(pageFile(0, ".jpg")));
        QVERIFY(QDir().mkdir(pageFile(1, ".jpg")));
        m_answerer->expectFileDialog(dir());
        m_answerer->expectMessageBox(QMessageBox::Yes);
        m_answerer->expectMessageBox(QMessageBox::Ok);
        m_answerer->expectMessageBox(QMessageBox::Ok); // must stay unused
        clickTool("action_save");
        QCOMPARE(m_answerer->seen.size(), 3);
        QCOMPARE(m_answerer->pending(), 1);
        QCOMPARE(m_answerer->seen.at(2).title, zh("警告"));
        QCOMPARE(m_answerer->seen.at(2).text, zh("无法写入 %1").arg(pageFile(0, ".jpg")));
        QCOMPARE(QImageReader(pageFile(2, ".jpg")).format(), QByteArray("jpeg"));
    }
};

SCANCONSOLE_TEST_MAIN(TestPreview)
#include "tst_preview.moc"
