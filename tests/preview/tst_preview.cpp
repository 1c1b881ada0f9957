#include "imaging/ImageManager.h"
#include "preview/ImageTree.h"
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

QImage noise(int w, int h, quint32 seed)
{
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = 0xff000000u | (rng.generate() & 0xffffffu);
    }
    return image;
}

QImage plain(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(120, 160, 200));
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

int pdfPageCount(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = f.readAll();
    if (!bytes.startsWith("%PDF"))
        return -1;
    // Page objects carry "/Type /Page"; the page tree "/Type /Pages".
    int pages = 0;
    const QByteArray key("/Type /Page");
    for (int at = bytes.indexOf(key); at >= 0; at = bytes.indexOf(key, at + 1)) {
        if (at + key.size() < bytes.size() && bytes.at(at + key.size()) != 's')
            ++pages;
    }
    return pages;
}

QByteArray readAll(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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

// A wheel turn as the window system delivers it: spontaneous, so an ignored event travels on
// to the scroll area.
void wheel(QWidget *w, const QPoint &pos, int delta, Qt::KeyboardModifiers mods)
{
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
    QLabel *zoomLabel() const { return m_window->findChild<QLabel *>("label_zoom"); }
    QString dir() const { return m_dir->path(); }
    ImageManager *store() const { return ImageManager::Instance(); }

    void addPages(const QList<QImage> &images)
    {
        for (const QImage &image : images) {
            m_sources.append(image);
            m_window->AddImage(store()->AddImage(new QImage(image)));
        }
        // The scroll area lays out its bars on posted events, as it would before any input.
        QCoreApplication::processEvents();
    }

    // Presses the tool-bar button of an action.
    void clickTool(const char *actionName)
    {
        auto *action = m_window->findChild<QAction *>(actionName);
        QVERIFY2(action, actionName);
        QWidget *button = m_window->findChild<QToolBar *>("mainToolBar")->widgetForAction(action);
        QVERIFY2(button, actionName);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void clickImage(const QPoint &imagePoint)
    {
        QTest::mouseClick(view(), Qt::LeftButton, Qt::NoModifier, view()->P2V(imagePoint));
    }

    void moveToImage(const QPoint &imagePoint)
    {
        QTest::mouseMove(view(), view()->P2V(imagePoint));
    }

    // Middle-button drags go through the window system, as a real mouse does: the press starts
    // the implicit grab that keeps the following moves on the view.
    void middle(QTest::MouseAction action, const QPoint &viewPos)
    {
        QWindow *window = m_window->windowHandle();
        const QPoint at = view()->mapTo(m_window.get(), viewPos);
        if (action == QTest::MouseMove)
            QTest::mouseMove(window, at);
        else
            QTest::mouseEvent(action, window, Qt::MiddleButton, Qt::NoModifier, at);
    }

    void clickThumbnail(int row)
    {
        QListWidgetItem *item = list()->item(row);
        QVERIFY(item);
        list()->scrollToItem(item);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list()->visualItemRect(item).center());
    }

    // Arms capture and selects the region between two image points (in the given order).
    void captureRegion(const QPoint &first, const QPoint &second)
    {
        clickTool("action_screenshot");
        clickImage(first);
        clickImage(second);
        QCOMPARE(view()->shotState(), int(ImageView::ShotDone));
    }

    QString pageFile(int index, const char *suffix) const
    {
        return dir() + "/" + store()->at(index)->name + QLatin1String(suffix);
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

    void windowAsBuilt()
    {
        QCOMPARE(m_window->objectName(), QString("PreviewWindowClass"));
        QCOMPARE(m_window->windowTitle(), zh("预览"));
        QCOMPARE(PreviewWindow::m_Instance, m_window.get());
        QCOMPARE(zoomLabel()->text(), QString("100%"));
        m_window->UpdateStatueScale(37);
        QCOMPARE(zoomLabel()->text(), QString("37%"));

        QStringList titles;
        for (QAction *a : m_window->menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, QStringList({zh("文件(&F)"), zh("编辑(&E)")}));

        struct Expected
        {
            const char *name;
            const char *text;
            const char *shortcut;
        };
        const Expected actions[] = {
            {"action_save", "保存", "Ctrl+S"},         {"action_quit", "退出", "Alt+F4"},
            {"action_screenshot", "截取", ""},         {"action_rotateCCW", "逆时针旋转90度", ""},
            {"action_rotateCW", "顺时针旋转90度", ""}, {"action_resize", "图像原始大小", ""}};
        for (const Expected &e : actions) {
            auto *a = m_window->findChild<QAction *>(e.name);
            QVERIFY2(a, e.name);
            QCOMPARE(a->text(), zh(e.text));
            QCOMPARE(a->shortcut().toString(), QString(e.shortcut));
            QCOMPARE(a->icon().isNull(), QByteArray(e.name) == "action_quit");
        }
        QStringList tools;
        for (QAction *a : m_window->findChild<QToolBar *>("mainToolBar")->actions())
            tools << (a->isSeparator() ? QString("|") : a->objectName());
        QCOMPARE(tools, QStringList({"action_save", "|", "action_rotateCCW", "action_rotateCW",
                                     "action_screenshot", "action_resize"}));

        auto *dock = m_window->findChild<QDockWidget *>("dock_imageManager");
        QVERIFY(dock);
        QCOMPARE(dock->windowTitle(), zh("图片管理器"));
        QCOMPARE(dock->features(), QDockWidget::DockWidgetFeatures(QDockWidget::DockWidgetMovable));
        QCOMPARE(m_window->dockWidgetArea(dock), Qt::LeftDockWidgetArea);
        QVERIFY(qobject_cast<ImageTree *>(dock->widget()));

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
        addPages({plain(size.width(), size.height())});
        QCOMPARE(view()->minScale(), minScale);
        QCOMPARE(view()->maxScale(), maxScale);
        QCOMPARE(view()->scale(), 1.0f);
        QCOMPARE(zoomLabel()->text(), QString("100%"));

        // However far the wheel turns, the scale stays inside the limits.
        const QPoint at(5, 5);
        for (int i = 0; i < 40; ++i) {
            wheel(view(), at, 120, Qt::ControlModifier);
            QVERIFY(view()->scale() <= maxScale);
        }
        QVERIFY(view()->scale() * 1.12f > maxScale);
        for (int i = 0; i < 80; ++i) {
            wheel(view(), at, -120, Qt::ControlModifier);
            QVERIFY(view()->scale() >= minScale);
        }
        QVERIFY(view()->scale() * 0.88f < minScale);
    }

    void wheelZoomAndCentring()
    {
        addPages({plain(200, 150)});
        const QSize viewport = area()->viewport()->size();
        // Smaller than the viewport: centred, the view takes the viewport's size.
        QCOMPARE(view()->size(), viewport);
        QCOMPARE(view()->P2V(QPoint(0, 0)), QPoint(int((viewport.width() - 200) * 0.5f),
                                                   int((viewport.height() - 150) * 0.5f)));

        wheel(view(), QPoint(10, 10), 120, Qt::ControlModifier);
        QCOMPARE(view()->scale(), 1.12f);
        QCOMPARE(zoomLabel()->text(), QString("112%"));
        wheel(view(), QPoint(10, 10), -120, Qt::ControlModifier);
        QVERIFY(view()->scale() == 1.0f); // snapped exactly, not 0.9856
        QCOMPARE(zoomLabel()->text(), QString("100%"));

        // "100%" brings a zoomed page back and ends capture.
        wheel(view(), QPoint(10, 10), -120, Qt::ControlModifier);
        QCOMPARE(zoomLabel()->text(), QString("88%"));
        clickTool("action_screenshot");
        clickTool("action_resize");
        QVERIFY(view()->scale() == 1.0f);
        QCOMPARE(zoomLabel()->text(), QString("100%"));
        QCOMPARE(view()->shotState(), int(ImageView::ShotNone));
    }

    void wheelWithoutExactlyCtrlScrolls_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::newRow("none") << int(Qt::NoModifier);
        QTest::newRow("ctrl+shift") << int(Qt::ControlModifier | Qt::ShiftModifier);
    }

    void wheelWithoutExactlyCtrlScrolls()
    {
        QFETCH(int, modifiers);
        addPages({plain(300, 3000)});
        QScrollBar *bar = area()->verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        wheel(view(), QPoint(20, 20), -120, Qt::KeyboardModifiers(modifiers));
        QVERIFY(bar->value() > 0);
        QCOMPARE(view()->scale(), 1.0f);
        QCOMPARE(zoomLabel()->text(), QString("100%"));
    }

    void viewCommandsKeepTheLimits()
    {
        addPages({plain(10, 40000)});
        ImageView *v = view();
        // Fitting would need 0.75 %, below the limit of 100 %: the scale stays usable.
        v->FitView();
        QCOMPARE(v->scale(), v->minScale());
        QCOMPARE(zoomLabel()->text(), QString("100%"));
        v->EnlargeView(); // the limit is 100 % both ways
        v->ShrinkView();
        QCOMPARE(v->scale(), 1.0f);

        addPages({plain(2480, 3508)});
        const QSize viewport = area()->viewport()->size();
        v->FitView();
        QCOMPARE(v->scale(), qMin(float(viewport.width()) / 2480, float(viewport.height()) / 3508));
        v->ShowOriginSize();
        for (int i = 0; i < 20; ++i)
            v->EnlargeView();
        QVERIFY(v->scale() <= v->maxScale() && v->scale() * 1.2f > v->maxScale());
    }

    void resizeWithoutImageOnlyEndsCapture()
    {
        clickTool("action_screenshot");
        QCOMPARE(view()->shotState(), int(ImageView::ShotArmed));
        m_window->UpdateStatueScale(50);
        clickTool("action_resize");
        QCOMPARE(view()->shotState(), int(ImageView::ShotNone));
        QCOMPARE(zoomLabel()->text(), QString("50%"));
    }

    void captureStateMachine()
    {
        addPages({noise(200, 150, 7)});
        ImageView *v = view();
        QCOMPARE(v->shotState(), int(ImageView::ShotNone));
        clickImage(QPoint(20, 30)); // not armed: nothing
        QCOMPARE(v->shotState(), int(ImageView::ShotNone));

        clickTool("action_screenshot");
        QCOMPARE(v->shotState(), int(ImageView::ShotArmed));
        clickImage(QPoint(-10, 30)); // in the grey margin
        QCOMPARE(v->shotState(), int(ImageView::ShotArmed));

        clickImage(QPoint(20, 30));
        QCOMPARE(v->shotState(), int(ImageView::ShotSelecting));
        QCOMPARE(v->shotStart(), QPoint(20, 30));
        QCOMPARE(v->shotEnd(), QPoint(20, 30));

        moveToImage(QPoint(120, 100));
        QTRY_COMPARE(v->shotEnd(), QPoint(120, 100));
        QCOMPARE(v->cursor().shape(), Qt::CrossCursor);
        const QImage withRect = v->grab().toImage();

        // Off the image the rectangle collapses to the first corner.
        moveToImage(QPoint(205, 100));
        QTRY_COMPARE(v->shotEnd(), QPoint(20, 30));
        QCOMPARE(v->cursor().shape(), Qt::ArrowCursor);
        const QImage collapsed = v->grab().toImage();
        // Corners on one vertical line: no rectangle.
        moveToImage(QPoint(20, 100));
        QTRY_COMPARE(v->shotEnd(), QPoint(20, 100));
        QCOMPARE(v->grab().toImage(), collapsed);
        QVERIFY(withRect != collapsed);
        // The dashed red line runs along the top edge of the rectangle.
        const QPoint left = v->P2V(QPoint(20, 30));
        const QPoint right = v->P2V(QPoint(120, 30));
        int reddened = 0;
        for (int y = left.y() - 1; y <= left.y() + 1; ++y) {
            for (int x = left.x(); x < right.x(); ++x) {
                const QColor now = withRect.pixelColor(x, y);
                const QColor before = collapsed.pixelColor(x, y);
                if (now != before && now.red() >= before.red() && now.green() <= before.green())
                    ++reddened;
            }
        }
        QVERIFY2(reddened > 40, qPrintable(QString::number(reddened)));

        // Return with only the first corner does nothing.
        QTest::keyClick(v, Qt::Key_Return);
        QCOMPARE(v->shotState(), int(ImageView::ShotSelecting));
        QCOMPARE(m_answerer->seen.size(), 0);

        clickImage(QPoint(120, 100));
        QCOMPARE(v->shotState(), int(ImageView::ShotDone));
        QCOMPARE(v->shotEnd(), QPoint(120, 100));
        // A press in the done state starts a new rectangle.
        clickImage(QPoint(50, 60));
        QCOMPARE(v->shotState(), int(ImageView::ShotSelecting));
        QCOMPARE(v->shotStart(), QPoint(50, 60));
        moveToImage(QPoint(100, 90));
        QTRY_COMPARE(v->cursor().shape(), Qt::CrossCursor);

        QTest::keyClick(v, Qt::Key_Escape);
        QCOMPARE(v->shotState(), int(ImageView::ShotNone));
        QCOMPARE(v->shotStart(), QPoint(0, 0));
        QCOMPARE(v->cursor().shape(), Qt::ArrowCursor);

        // The window's Escape does the same; re-arming clears the corners.
        captureRegion(QPoint(10, 10), QPoint(30, 30));
        clickTool("action_screenshot");
        QCOMPARE(v->shotState(), int(ImageView::ShotArmed));
        QCOMPARE(v->shotEnd(), QPoint(0, 0));
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        QCOMPARE(v->shotState(), int(ImageView::ShotNone));
    }

    void captureSavesSourcePixels()
    {
        ParamSetting::instance.save_type = 4;
        const QImage source = noise(200, 150, 11);
        addPages({source});
        // Far corner first, on the image's right edge (x == width counts as inside).
        captureRegion(QPoint(200, 100), QPoint(20, 30));
        m_answerer->expectFileDialog(dir() + "/cap");
        QTest::keyClick(view(), Qt::Key_Return);
        QCOMPARE(m_answerer->seen.size(), 1);
        QCOMPARE(m_answerer->seen.first().title, zh("截取"));
        QCOMPARE(entries(dir()), QStringList({"cap.png"}));
        const QImage saved(dir() + "/cap.png");
        QVERIFY(samePixels(saved, source.copy(20, 30, 180, 70)));
        QCOMPARE(view()->shotState(), int(ImageView::ShotNone));
    }

    void captureFormats_data()
    {
        QTest::addColumn<int>("saveType");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("format"); // image format, or "pdf"
        QTest::newRow("JPG after .png") << 0 << "cap.png"
                                        << "cap.png.jpg" << QByteArray("jpeg");
        QTest::newRow("PDF") << 1 << "cap"
                             << "cap.pdf" << QByteArray("pdf");
        QTest::newRow("TIFF") << 2 << "cap"
                              << "cap.tiff" << QByteArray("tiff");
        QTest::newRow("OFD") << 3 << "cap"
                             << "cap.ofd" << QByteArray("pdf");
        QTest::newRow("PNG") << 4 << "cap"
                             << "cap.png" << QByteArray("png");
        QTest::newRow("BMP") << 5 << "cap"
                             << "cap.bmp" << QByteArray("bmp");
        QTest::newRow("merged PDF") << 6 << "cap"
                                    << "cap.pdf" << QByteArray("pdf");
    }

    void captureFormats()
    {
        QFETCH(int, saveType);
        QFETCH(QString, typed);
        QFETCH(QString, file);
        QFETCH(QByteArray, format);
        ParamSetting::instance.save_type = saveType;
        addPages({noise(160, 120, 3)});
        captureRegion(QPoint(10, 20), QPoint(90, 70));
        m_answerer->expectFileDialog(dir() + "/" + typed);
        // Return through the window, which handles it like the view.
        QTest::keyClick(m_window.get(), Qt::Key_Return);
        QCOMPARE(m_answerer->seen.size(), 1);

        QCOMPARE(entries(dir()), QStringList({file}));
        const QString path = dir() + "/" + file;
        if (format == "pdf") {
            QCOMPARE(pdfPageCount(path), 1);
        } else {
            QImageReader reader(path);
            QCOMPARE(reader.format(), format);
            QCOMPARE(reader.size(), QSize(80, 50));
        }
    }

    void captureOfdReplacesExistingFile()
    {
        ParamSetting::instance.save_type = 3;
        addPages({noise(160, 120, 5)});
        writeBytes(dir() + "/cap.ofd", "an older capture");
        captureRegion(QPoint(10, 20), QPoint(90, 70));
        m_answerer->expectFileDialog(dir() + "/cap");
        QTest::keyClick(view(), Qt::Key_Return);
        QCOMPARE(entries(dir()), QStringList({"cap.ofd"}));
        QCOMPARE(pdfPageCount(dir() + "/cap.ofd"), 1);
    }

    void captureCancelledAndFailed()
    {
        ParamSetting::instance.save_type = 4;
        addPages({noise(160, 120, 9)});
        captureRegion(QPoint(10, 20), QPoint(90, 70));
        m_answerer->expectReject();
        QTest::keyClick(view(), Qt::Key_Return);
        QCOMPARE(m_answerer->seen.size(), 1);
        QCOMPARE(view()->shotState(), int(ImageView::ShotNone));
        QVERIFY(entries(dir()).isEmpty());

        // Corners on one line enclose nothing: Return saves nothing and asks nothing.
        captureRegion(QPoint(10, 20), QPoint(10, 70));
        QTest::keyClick(view(), Qt::Key_Return);
        QCOMPARE(m_answerer->seen.size(), 1);
        QCOMPARE(view()->shotState(), int(ImageView::ShotDone));
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
        QCOMPARE(view()->shotState(), int(ImageView::ShotNone));
        QCOMPARE(entries(dir()), QStringList({"cap.png"}));
    }

    void rotationTurnsTheClickedPageOnly()
    {
        addPages({noise(120, 80, 1), noise(90, 60, 2), noise(70, 50, 3)});
        // No thumbnail clicked yet: nothing turns.
        clickTool("action_rotateCW");
        for (int i = 0; i < 3; ++i)
            QVERIFY(samePixels(*store()->at(i)->image, m_sources.at(i)));

        clickThumbnail(1);
        QCOMPARE(store()->curIndex(), 1);
        QCOMPARE(view()->image(), store()->at(1)->image);
        wheel(view(), QPoint(5, 5), 120, Qt::ControlModifier);
        QCOMPARE(zoomLabel()->text(), QString("112%"));

        clickTool("action_rotateCW");
        QVERIFY(samePixels(*store()->at(1)->image, turnedClockwise(m_sources.at(1))));
        QVERIFY(samePixels(*store()->at(0)->image, m_sources.at(0)));
        QVERIFY(samePixels(*store()->at(2)->image, m_sources.at(2)));
        QCOMPARE(view()->image(), store()->at(1)->image);
        QCOMPARE(view()->scale(), 1.0f);
        QCOMPARE(zoomLabel()->text(), QString("100%"));

        // Only the turned entry is rebuilt, on a white box; its picture is the turned page.
        auto picture = [this](int row) {
            return list()->itemWidget(list()->item(row))->findChild<QLabel *>("labelImage");
        };
        QVERIFY(picture(1)->styleSheet().contains("rgb(255,255,255);color"));
        QVERIFY(picture(0)->styleSheet().startsWith("background-color: transparent;"));
        QVERIFY(picture(2)->styleSheet().startsWith("background-color: transparent;"));
        QCOMPARE(picture(1)->pixmap(Qt::ReturnByValue).size(), QSize(133, 200));
        // Beside the turned picture the box is white; an untouched entry stays see-through.
        QCOMPARE(picture(1)->grab().toImage().pixelColor(2, 100), QColor(Qt::white));
        QCOMPARE(picture(0)->grab().toImage().pixelColor(100, 2).alpha(), 0);
        QCOMPARE(picture(0)->pixmap(Qt::ReturnByValue).size(), QSize(200, 133));
        QCOMPARE(list()->itemWidget(list()->item(1))->findChild<QLabel *>("LableName")->text(),
                 store()->at(1)->name);

        clickTool("action_rotateCCW");
        QVERIFY(samePixels(*store()->at(1)->image, m_sources.at(1)));
        m_window->slotRotateCW180();
        QVERIFY(
            samePixels(*store()->at(1)->image, turnedClockwise(turnedClockwise(m_sources.at(1)))));
    }

    void thumbnails()
    {
        addPages({plain(2480, 3508), plain(400, 100)});
        QCOMPARE(list()->count(), 2);
        auto picture = [this](int row) {
            return list()->itemWidget(list()->item(row))->findChild<QLabel *>("labelImage");
        };
        QCOMPARE(picture(0)->pixmap(Qt::ReturnByValue).size(), QSize(141, 200));
        QCOMPARE(picture(1)->pixmap(Qt::ReturnByValue).size(), QSize(200, 50));
        QCOMPARE(list()->item(0)->sizeHint(), QSize(250, 250));
        // The view shows the last page added; the current page is still unset.
        QCOMPARE(view()->image(), store()->at(1)->image);
        QCOMPARE(store()->curIndex(), -1);
        clickThumbnail(0);
        QCOMPARE(store()->curIndex(), 0);
        QCOMPARE(view()->image(), store()->at(0)->image);

        m_window->ClearImage();
        QCOMPARE(list()->count(), 0);
        QVERIFY(!view()->image());
        m_window->ClearImage(); // on an empty list
        QCOMPARE(list()->count(), 0);
    }

    void panning()
    {
        addPages({plain(1500, 1200)});
        ImageView *v = view();
        QScrollArea *a = area();
        middle(QTest::MousePress, QPoint(200, 150));
        QCOMPARE(v->cursor().shape(), Qt::ClosedHandCursor);
        const int vmax = a->verticalScrollBar()->maximum();
        const int hmax = a->horizontalScrollBar()->maximum();
        QVERIFY(vmax > 0 && hmax > 0);
        middle(QTest::MouseMove, QPoint(150, 110));
        const int vstep = int(40.0f / (1200 - a->height()) * vmax);
        const int hstep = int(50.0f / (1500 - a->width()) * hmax);
        QTRY_COMPARE(a->verticalScrollBar()->value(), vstep);
        QCOMPARE(a->horizontalScrollBar()->value(), hstep);
        middle(QTest::MouseRelease, QPoint(150, 110));
        QCOMPARE(v->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!v->isMoving());
    }

    void panningWhereThePageDoesNotExceedTheArea()
    {
        // Taller than the viewport but not than the scroll area: the vertical bar has a range,
        // yet nothing is to be scrolled vertically; horizontally it scrolls.
        const int height = area()->height() - 1;
        addPages({plain(2000, height)});
        ImageView *v = view();
        QScrollBar *vbar = area()->verticalScrollBar();
        QScrollBar *hbar = area()->horizontalScrollBar();
        QVERIFY(vbar->maximum() > 0);
        vbar->setValue(vbar->maximum());
        middle(QTest::MousePress, QPoint(300, 100));
        middle(QTest::MouseMove, QPoint(250, 90));
        QTRY_VERIFY(hbar->value() > 0);
        QCOMPARE(vbar->value(), vbar->maximum());
        middle(QTest::MouseRelease, QPoint(250, 90));

        // Smaller than the viewport in both directions: nothing scrolls.
        m_window->ClearImage();
        store()->ClearImages();
        addPages({plain(100, 100)});
        middle(QTest::MousePress, QPoint(200, 150));
        middle(QTest::MouseMove, QPoint(100, 50));
        middle(QTest::MouseMove, QPoint(250, 200));
        QCOMPARE(vbar->value(), 0);
        QCOMPARE(hbar->value(), 0);
        middle(QTest::MouseRelease, QPoint(250, 200));
        QCOMPARE(v->cursor().shape(), Qt::ArrowCursor);
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
        addPages({noise(60, 40, 1)});
        clickTool("action_screenshot");
        m_answerer->expectReject();
        clickTool("action_save");
        QCOMPARE(m_answerer->seen.size(), 1);
        QVERIFY(entries(dir()).isEmpty());
        QCOMPARE(view()->shotState(), int(ImageView::ShotNone)); // export ends capture
    }

    void exportFormats_data()
    {
        QTest::addColumn<int>("saveType");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("JPG") << 0 << ".jpg" << QByteArray("jpeg");
        QTest::newRow("PDF") << 1 << ".pdf" << QByteArray("pdf");
        QTest::newRow("TIFF") << 2 << ".tiff" << QByteArray("tiff");
        QTest::newRow("OFD") << 3 << ".ofd" << QByteArray("pdf");
        QTest::newRow("PNG") << 4 << ".png" << QByteArray("png");
        QTest::newRow("BMP") << 5 << ".bmp" << QByteArray("bmp");
        QTest::newRow("merged PDF") << 6 << ".pdf" << QByteArray("merged");
    }

    void exportFormats()
    {
        QFETCH(int, saveType);
        QFETCH(QString, suffix);
        QFETCH(QByteArray, format);
        ParamSetting::instance.save_type = saveType;
        addPages({noise(60, 40, 1), noise(50, 70, 2), noise(30, 30, 3)});
        m_answerer->expectFileDialog(dir());
        clickTool("action_save");
        QCOMPARE(m_answerer->seen.size(), 1);

        QStringList expected;
        if (format == "merged") {
            expected << store()->at(0)->name + suffix;
        } else {
            for (int i = 0; i < 3; ++i)
                expected << store()->at(i)->name + suffix;
        }
        expected.sort();
        QCOMPARE(entries(dir()), expected);
        if (format == "merged") {
            QCOMPARE(pdfPageCount(dir() + "/" + expected.first()), 3);
            return;
        }
        for (int i = 0; i < 3; ++i) {
            const QString file = dir() + "/" + store()->at(i)->name + suffix;
            if (format == "pdf") {
                QCOMPARE(pdfPageCount(file), 1);
                continue;
            }
            QImageReader reader(file);
            QCOMPARE(reader.format(), format);
            const QImage back = reader.read();
            QCOMPARE(back.size(), m_sources.at(i).size());
            if (format != "jpeg")
                QVERIFY(samePixels(back, m_sources.at(i)));
        }
    }

    void exportOverwriteQuestion_data()
    {
        QTest::addColumn<int>("saveType");
        QTest::addColumn<int>("existing"); // page index whose target exists
        QTest::addColumn<bool>("yes");
        QTest::newRow("JPG first, yes") << 0 << 0 << true;
        QTest::newRow("JPG first, no") << 0 << 0 << false;
        QTest::newRow("JPG third, yes") << 0 << 2 << true;
        QTest::newRow("JPG third, no") << 0 << 2 << false;
        QTest::newRow("PNG first, no") << 4 << 0 << false;
        QTest::newRow("BMP third, yes") << 5 << 2 << true;
        QTest::newRow("OFD first, yes") << 3 << 0 << true;
        QTest::newRow("OFD third, no") << 3 << 2 << false;
        QTest::newRow("merged, yes") << 6 << 0 << true;
        QTest::newRow("merged, no") << 6 << 0 << false;
    }

    void exportOverwriteQuestion()
    {
        QFETCH(int, saveType);
        QFETCH(int, existing);
        QFETCH(bool, yes);
        ParamSetting::instance.save_type = saveType;
        addPages({noise(60, 40, 1), noise(50, 70, 2), noise(30, 30, 3)});
        const char *suffix = saveType == 3   ? ".ofd"
                             : saveType == 4 ? ".png"
                             : saveType == 5 ? ".bmp"
                             : saveType == 6 ? ".pdf"
                                             : ".jpg";
        const QString old = pageFile(existing, suffix);
        const QByteArray oldBytes("written by an earlier export");
        writeBytes(old, oldBytes);

        m_answerer->expectFileDialog(dir());
        m_answerer->expectMessageBox(yes ? QMessageBox::Yes : QMessageBox::No);
        m_answerer->expectMessageBox(QMessageBox::Ok); // must stay unused
        clickTool("action_save");
        QCOMPARE(m_answerer->seen.size(), 2);
        QCOMPARE(m_answerer->pending(), 1);
        QCOMPARE(m_answerer->seen.at(1).title, zh("提示"));
        QCOMPARE(m_answerer->seen.at(1).text, zh("文件已存在，是否替换？"));

        QCOMPARE(readAll(old) == oldBytes, !yes);
        const int pages = saveType == 6 ? 1 : 3;
        QCOMPARE(entries(dir()).size(), pages); // no intermediate or temporary files
        for (int i = 0; i < pages; ++i) {
            const QString file = pageFile(i, suffix);
            if (file == old && !yes)
                continue;
            if (saveType == 3 || saveType == 6)
                QCOMPARE(pdfPageCount(file), saveType == 6 ? 3 : 1);
            else if (saveType == 0)
                QCOMPARE(QImageReader(file).format(), QByteArray("jpeg"));
            else
                QVERIFY(samePixels(QImage(file), m_sources.at(i)));
        }
    }

    void exportFailureReportedOnce()
    {
        addPages({noise(60, 40, 1), noise(50, 70, 2), noise(30, 30, 3)});
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
