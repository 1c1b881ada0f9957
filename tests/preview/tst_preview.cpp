#include "pages/FileCommit.h"
#include "pages/ImageManager.h"
#include "preview/ImageView.h"
#include "preview/PageCommands.h"
#include "preview/PageExport.h"
#include "preview/PageSaveProgress.h"
#include "preview/PageSaveThread.h"
#include "preview/PreviewDiscard.h"
#include "preview/PreviewWindow.h"
#include "settings/ParamSetting.h"
#include "settings/SaveFormat.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/PdfFiles.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPages.h"
#include "tests/support/TestRows.h"
#include "tests/support/TextPages.h"

#include <QtTest/qtestspontaneevent.h>
#include <QtTest>
#include <QtWidgets>

#include <atomic>
#include <memory>

namespace {

QImage page(int w, int h, quint32 seed = 1)
{
    return TestPages::randomImage(QImage::Format_RGB32, w, h, seed);
}

// `file` holds `image` in the format its suffix names (JPEG compared by size only); a PDF holds
// `pages` page objects (not counting the "/Type /Pages" tree), an OFD package `pages` pages.
void checkWritten(const QString &file, const QImage &image, int pages)
{
    const QByteArray suffix = QFileInfo(file).suffix().toLatin1(), b = TestFiles::readAll(file);
    if (suffix == "pdf" || suffix == "ofd") {
        QVERIFY(suffix == "ofd" ? b.startsWith("PK\x03\x04") && b.count("/Content.xml") == 2 * pages
                                : b.startsWith("%PDF") &&
                                      b.count("/Type /Page") - b.count("/Type /Pages") == pages);
        return;
    }
    QImageReader reader(file);
    QCOMPARE(reader.format(), suffix == "jpg" ? QByteArray("jpeg") : suffix);
    const QImage back = reader.read().convertToFormat(QImage::Format_RGB32);
    QVERIFY(back.size() == image.size() && (suffix == "jpg" || back == image));
}

// Spontaneous, as from the window system, so an ignored event travels on to the scroll area.
void wheel(QWidget *w, int delta, Qt::KeyboardModifiers mods = Qt::ControlModifier,
           QPoint at = QPoint(5, 5))
{
    QWheelEvent event(at, QPointF(w->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      mods, Qt::NoScrollPhase, false);
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

    ImageView *view() const { return m_window->findChild<ImageView *>("imageView"); }
    QScrollArea *area() const { return m_window->findChild<QScrollArea *>("scrollArea"); }
    QListWidget *list() const { return m_window->findChild<QListWidget *>("ImageListWidget"); }
    QString zoomText() const { return m_window->findChild<QLabel *>("label_zoom")->text(); }
    ImageManager *store() const { return ImageManager::Instance(); }
    QImage stored(int i) const { return store()->imageAt(i); }
    QLabel *label(int row, const char *name = "labelImage") const
    {
        return list()->itemWidget(list()->item(row))->findChild<QLabel *>(name);
    }
    void addPages(const QList<QImage> &images)
    {
        for (const QImage &image : images)
            m_window->AddImage(store()->AddImage(new QImage(image), ParamSetting::instance.name));
        QCoreApplication::processEvents(); // the scroll area lays out its bars on posted events
    }
    // Waits until the window's save has ended (its progress object deletes itself then).
    bool saveEnded(int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return !m_window->findChild<PageSaveProgress *>(); },
                               timeoutMs);
    }
    void clickTool(const char *name)
    {
        auto *bar = m_window->findChild<QToolBar *>("mainToolBar");
        QTest::mouseClick(bar->widgetForAction(m_window->findChild<QAction *>(name)),
                          Qt::LeftButton);
    }
    void clickRow(int row)
    {
        list()->scrollToItem(list()->item(row));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                          list()->visualItemRect(list()->item(row)).center());
    }
    // The page in row `from` dragged onto the top or bottom half of the entry in row `onto`.
    void drop(int from, int onto, bool bottom)
    {
        clickRow(from); // the press that begins a drag chooses the entry
        list()->scrollToItem(list()->item(onto));
        const QRect r = list()->visualItemRect(list()->item(onto));
        const QPoint at(r.center().x(), bottom ? r.bottom() - r.height() / 4 : r.top() + 5);
        std::unique_ptr<QMimeData> data(list()->model()->mimeData({list()->currentIndex()}));
        QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list()->viewport(), &enter);
        QDropEvent event(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list()->viewport(), &event);
        QCoreApplication::processEvents(); // the window lays the list out once the drop is over
    }
    // Runs page commands given as in shapingTheDocument.
    void runSteps(const QString &steps)
    {
        const QMap<QString, QPair<Qt::Key, Qt::KeyboardModifiers>> keys{
            {"Del", {Qt::Key_Delete, Qt::NoModifier}},
            {"Up", {Qt::Key_Up, Qt::ControlModifier}},
            {"Down", {Qt::Key_Down, Qt::ControlModifier}},
            {"Z", {Qt::Key_Z, Qt::ControlModifier}}};
        for (const QString &step : steps.split(' ', Qt::SkipEmptyParts)) {
            const int a = step.mid(1).section('>', 0, 0).toInt();
            if (step.startsWith('c'))
                clickRow(a);
            else if (step.startsWith('g'))
                drop(a, step.section('>', 1).left(1).toInt(), step.endsWith('b'));
            else if (step.startsWith('S')) {
                store()->setSkipped(a, true);
                m_window->refreshPage(a);
            } else if (step == "W") {
                m_window->setPagesBeingWritten(true);
            } else if (step == "E") {
                m_answerer->expectFileDialog(m_dir->path());
                clickTool("action_save");
                QVERIFY(saveEnded());
                m_window->activateWindow(); // the keys go on to the window, as after any dialog
                QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
            } else
                QTest::keyClick(list(), keys.value(step).first, keys.value(step).second);
        }
    }
    // The store indexes of the list's entries, by their captions.
    QString listed() const
    {
        QStringList rows;
        for (int i = 0; i < list()->count(); ++i)
            for (int page = 0; page < store()->count(); ++page)
                if (label(i, "LableName")->text() == store()->at(page)->name)
                    rows << QString::number(page);
        return rows.join(' ');
    }

    // Left click on image pixel `p`; the capture state that follows.
    int press(const QPoint &p)
    {
        QTest::mouseClick(view(), Qt::LeftButton, {}, view()->P2V(p));
        return view()->shotState();
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
        m_window.reset(); // lets go of the pages before the store frees them
        store()->ClearImages();
    }

    void zoom_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<float>("minScale");
        QTest::addColumn<float>("maxScale");
        QTest::newRow("A4 300 dpi") << QSize(2480, 3508) << 50.0f / 2480 << 20000.0f / 3508;
        QTest::newRow("100 x 100") << QSize(100, 100) << 0.5f << 10.0f;
        QTest::newRow("200 x 150") << QSize(200, 150) << 1.0f / 3 << 10.0f; // height the shorter
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
        // A new page is seen whole: as large as the scroll area allows without bars, never
        // enlarged, never below the lowest zoom; and so it stays while the window changes size.
        auto checkFitted = [&] {
            const QSize room = area()->maximumViewportSize();
            const float fit = qBound(minScale,
                                     qMin(1.0f, qMin(float(room.width()) / size.width(),
                                                     float(room.height()) / size.height())),
                                     maxScale);
            QVERIFY(view()->isFitted());
            QCOMPARE(view()->scale(), fit);
            QCOMPARE(zoomText(), QString::number(int(100 * fit)) + "%");
            if (fit > minScale) {
                QCOMPARE(area()->horizontalScrollBar()->maximum(), 0);
                QCOMPARE(area()->verticalScrollBar()->maximum(), 0);
            }
        };
        checkFitted();
        for (QSize step : {QSize(160, 120), QSize(-160, -120)}) {
            const QSize room = area()->maximumViewportSize();
            m_window->resize(m_window->size() + step);
            QTRY_VERIFY(area()->maximumViewportSize() != room);
            checkFitted();
        }

        clickTool("action_resize");
        QCOMPARE(zoomText(), QString("100%"));
        QVERIFY(!view()->isFitted());
        const QSize margin = area()->viewport()->size() - size; // a smaller image is centred
        QCOMPARE(view()->P2V({0, 0}),
                 QPoint(qMax(0, margin.width()), qMax(0, margin.height())) / 2);
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
        // The tool button and the key F bring the whole page back.
        clickTool("action_fit");
        checkFitted();
        clickTool("action_resize");
        QTest::keyClick(list(), Qt::Key_F);
        checkFitted();
    }

    // Ctrl + wheel keeps the image point under the cursor where it is, wherever the cursor is
    // (where the scroll bars can reach).
    void zoomAboutCursor_data()
    {
        QTest::addColumn<QPoint>("cursor"); // in the viewport
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("notches");
        QTest::newRow("in, centre") << QPoint(150, 100) << 120 << 1;
        QTest::newRow("in, top left") << QPoint(20, 15) << 120 << 3;
        QTest::newRow("out, bottom") << QPoint(200, 180) << -120 << 3;
    }

    void zoomAboutCursor()
    {
        QFETCH(QPoint, cursor);
        QFETCH(int, delta);
        QFETCH(int, notches);
        addPages({page(1240, 1754)});
        clickTool("action_resize");
        for (QScrollBar *bar : {area()->horizontalScrollBar(), area()->verticalScrollBar()})
            bar->setValue(bar->maximum() / 2);
        QVERIFY(QRect(QPoint(), area()->viewport()->size()).contains(cursor));
        for (int i = 0; i < notches; ++i) {
            const float before = view()->scale();
            const QPoint at = cursor - view()->pos(); // the cursor over the view
            const QPoint underCursor = view()->V2P(at);
            wheel(view(), delta, Qt::ControlModifier, at);
            QVERIFY(view()->scale() != before);
            const QPoint now = view()->V2P(cursor - view()->pos());
            QVERIFY((now - underCursor).manhattanLength() <= 1);
        }
    }

    // Both ways of writing files. A capture saves a region of the shown page under the typed name
    // and replaces an older file (also an ".ofd"; none typed as is, the dialog would ask). An
    // export saves every page, asking once whichever page's file exists; the answer applies to all.
    // A name taken by something that is no file of the operator's (a folder) gives the page the
    // next free name ("-1"). No other file remains.
    void save_data()
    {
        QTest::addColumn<int>("saveType");
        QTest::addColumn<QString>("chosen"); // capture: name typed; export: "."; empty: cancelled
        QTest::addColumn<QString>("file");   // capture: the one file left
        QTest::addColumn<int>("existing");   // bit i: target i is there before
        QTest::addColumn<bool>("yes");       // the answer to the export's question
        QTest::addColumn<bool>("folders");   // the existing targets are folders: never replaced
        // The writers themselves (every format) are held by the document writers' tests.
        const QString rows =
            "capture JPG after .png|0|cap.png|cap.png.jpg|1;capture PDF|1|cap|cap.pdf|1;"
            "capture OFD|3|cap|cap.ofd|1;capture BMP typed .png|5|cap.png|cap.png|0;"
            "capture BMP no suffix|5|cap|cap.bmp|1;capture merged .ofd|6|cap.ofd|cap.ofd|0;"
            "capture merged no suffix|6|cap|cap.pdf|1;capture cancelled|4|||0;"
            "capture into a folder|4|cap|cap.png|1|0|1;export JPG|0|.||0;export merged PDF|6|.||0;"
            "export cancelled|0|||0;export first, yes|0|.||1|1;export first, no|0|.||1|0;"
            "export third, no|0|.||4|0;export merged, no|6|.||1|0;export two folders|0|.||3|1|1;"
            "export searchable PDF|7|.||0;export merged OFD|8|.||0";
        for (const QString &row : rows.split(';')) {
            const QStringList f = row.split('|') + QStringList{"0", "0"};
            QTest::newRow(qPrintable(f[0]))
                << f[1].toInt() << f[2] << f[3] << f[4].toInt() << (f[5] == "1") << (f[6] == "1");
        }
    }

    void save()
    {
        QFETCH(int, saveType);
        QFETCH(QString, chosen);
        QFETCH(QString, file);
        QFETCH(int, existing);
        QFETCH(bool, yes);
        QFETCH(bool, folders);
        const bool capture = QString(QTest::currentDataTag()).startsWith("capture");
        const QString suffix =
            QString(".jpg .pdf .tiff .ofd .png .bmp .pdf .pdf .ofd .ofd").split(' ')[saveType];
        auto target = [&](int i) {
            return m_dir->filePath(capture ? file : store()->at(i)->name + suffix);
        };
        ParamSetting::instance.save_type = saveType;
        const QList<QImage> sources{page(60, 40, 1), page(50, 70, 2), page(160, 120, 3)};
        addPages(sources);
        for (int i = 0; i < 3; ++i) // an older file where a page goes, or a folder
            QVERIFY(!(existing & (1 << i)) ||
                    (folders ? QDir().mkdir(target(i)) : TestFiles::writeFile(target(i), "older")));
        // Answered ahead: a box opened too early, or a second warning, is seen, not waited for.
        chosen.isEmpty() ? m_answerer->expectReject()
                         : m_answerer->expectFileDialog(QDir::cleanPath(m_dir->filePath(chosen)));
        for (auto b : {yes ? QMessageBox::Yes : QMessageBox::No, QMessageBox::Ok, QMessageBox::Ok})
            m_answerer->expectMessageBox(b);
        QCOMPARE(press({20, 30}), 0); // not armed: nothing
        clickTool("action_screenshot");
        const QString hint = "在页面上拖出区域，或依次点击区域的两个角；回车保存，Esc 结束截取";
        QCOMPARE(m_window->statusBar()->currentMessage(), hint);
        if (capture) {
            QCOMPARE(press({-10, 30}), 1); // in the grey margin: nothing
            QCOMPARE(press({20, 30}), 2);
            QTest::mouseMove(view(), view()->P2V({120, 100}));
            QTRY_COMPARE(view()->cursor().shape(), Qt::CrossCursor);
            const QImage withRect = view()->grab().toImage();
            QTest::keyClick(view(), Qt::Key_Return); // first corner only: nothing
            QCOMPARE(view()->shotState(), 2);
            QTest::keyClick(view(), Qt::Key_Escape);
            QVERIFY(view()->shotState() == 0 && view()->cursor().shape() == Qt::ArrowCursor);
            QCOMPARE(m_window->statusBar()->currentMessage(), QString());
            clickTool("action_screenshot");
            press({20, 30});
            QTest::mouseMove(view(), view()->P2V({165, 100})); // off the image: collapsed
            QTRY_COMPARE(view()->cursor().shape(), Qt::ArrowCursor);
            QVERIFY(view()->shotEnd() == QPoint(20, 30) && view()->grab().toImage() != withRect);
            QCOMPARE(press({20, 100}), 3); // encloses nothing: Return saves nothing
            QTest::keyClick(view(), Qt::Key_Return);
            QCOMPARE(view()->shotState(), 3);
            // A new rectangle, far corner on the right edge (inside): clicked, or (odd formats)
            // dragged from one corner to the other.
            if (saveType % 2) {
                QTest::mousePress(view(), Qt::LeftButton, {}, view()->P2V({160, 70}));
                QTest::mouseMove(view(), view()->P2V({10, 20}));
                QTest::mouseRelease(view(), Qt::LeftButton, {}, view()->P2V({10, 20}));
                QCOMPARE(view()->shotState(), 3);
            } else {
                QCOMPARE(press({160, 70}), 2);
                press({10, 20});
            }
        }
        if (capture)
            QTest::keyClick(m_window.get(), Qt::Key_Return); // the window handles it like the view
        else
            clickTool("action_save");
        QCOMPARE(view()->shotState(), 0); // an export ends the capture
        QVERIFY(saveEnded(30000));        // the files are written on a worker thread
        QStringList boxes;
        for (const ModalAnswerer::Seen &box : m_answerer->seen)
            if (box.className != "PageSaveProgress") // shown while a searchable PDF is recognised
                boxes << box.title + "|" + box.text;
        QCOMPARE(boxes, QStringList(capture ? "截取|" : "保存|") +
                            (!capture && existing ? QStringList("提示|文件已存在，是否替换？")
                                                  : QStringList()));
        if (capture && !chosen.isEmpty())
            QCOMPARE(m_answerer->seen.first().filters, QStringList{"所有文件(*.*)"});
        const int count = chosen.isEmpty() ? 0 : capture || SaveFormat::isMerged(saveType) ? 1 : 3;
        const uint kept = folders ? uint(qPopulationCount(quint32(existing))) : 0u; // and "-1"
        QCOMPARE(QDir(m_dir->path()).count(), count + kept + 2u); // with "." and ".."
        for (int i = 0; i < count; ++i) {
            const QImage image = capture ? sources[2].copy(10, 20, 150, 50) : sources[i];
            if ((existing & (1 << i)) && folders)
                checkWritten(FileCommit::numberedName(target(i), 1), image, 1);
            else if ((existing & (1 << i)) && !capture && !yes)
                QVERIFY(QFileInfo(target(i)).size() == 5);
            else
                checkWritten(target(i), image, !capture && SaveFormat::isMerged(saveType) ? 3 : 1);
        }
    }

    // An export is written on another thread while the GUI thread keeps serving its events; its
    // dialog counts the files (or, for a searchable PDF, the pages recognised) and cancels: the
    // files written before the cancel stay whole, the one in hand and all later ones never
    // appear, nothing temporary is left, and the pages stay in the store.
    void exportCancelled_data()
    {
        QTest::addColumn<int>("saveType");
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("cancelAt"); // files complete at the cancel
        QTest::addColumn<QString>("progress");
        // PNG: the slowest encoder, noise hardly packs.
        QTest::newRow("PNG") << int(SaveFormat::Png) << 20 << 3
                             << "^正在保存 ([1-9]|1[0-9]|20)/20$";
        QTest::newRow("searchable PDF")
            << int(SaveFormat::SearchablePdf) << 3 << 0 << "^文字识别 [0-2]/3$";
    }
    void exportCancelled()
    {
        QFETCH(int, saveType);
        QFETCH(int, total);
        QFETCH(int, cancelAt);
        QFETCH(QString, progress);
        ParamSetting::instance.save_type = saveType;
        const QImage source = page(1240, 877, 7);
        QStringList names;
        for (int i = 0; i < total; ++i) {
            addPages({cancelAt ? source : TextPages::a4(i + 1, 200)});
            names << store()->at(i)->name + ".png";
        }
        auto written = [&] {
            return QDir(m_dir->path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                           QDir::Name);
        };
        m_answerer->expectFileDialog(m_dir->path());
        clickTool("action_save"); // returns once the folder is chosen and the save has started
        QPointer<PageSaveProgress> job = m_window->findChild<PageSaveProgress *>();
        QVERIFY(job);
        std::atomic<int> onGui{0}, offGui{0};
        connect(
            job->worker(), &PageSaveThread::UpdateProgress, job->worker(),
            [&] { (QThread::currentThread() == qApp->thread() ? onGui : offGui)++; },
            Qt::DirectConnection);
        // The dialog appears while the save runs, modal to the window.
        QTRY_VERIFY_WITH_TIMEOUT(!job || job->isVisible(), 10000);
        QVERIFY2(job, "the save ended before its dialog was due");
        const QString text = job->findChild<QLabel *>("label_saveProgress")->text();
        QVERIFY2(QRegularExpression(progress).match(text).hasMatch(), qPrintable(text));
        QCOMPARE(job->windowTitle(), QString("保存"));
        QCOMPARE(QApplication::activeModalWidget(), job.data());
        // A file in hand is a hidden new file until it is complete; it goes with the cancel.
        const auto complete = [&] { return written().filter(QRegularExpression("^[^.]")); };
        QTRY_VERIFY_WITH_TIMEOUT(complete().size() >= cancelAt, 60000);
        auto *cancel = job->findChild<QPushButton *>("btn_cancelSave");
        QCOMPARE(cancel->text(), QString("取消"));
        QTest::mouseClick(cancel, Qt::LeftButton);
        const QStringList atCancel = complete();
        QTRY_VERIFY_WITH_TIMEOUT(!job, 120000);
        QVERIFY(onGui == 0 && (offGui > 0 || !cancelAt));
        const QStringList files = written();
        QCOMPARE(files, atCancel); // nothing came after the cancel
        QVERIFY(files.size() >= cancelAt && files.size() < (cancelAt ? total : 1));
        QStringList expected = names.mid(0, files.size());
        expected.sort();
        QCOMPARE(files, expected); // the first pages, nothing temporary
        for (const QString &file : files)
            QCOMPARE(QImage(m_dir->filePath(file)).convertToFormat(QImage::Format_RGB32), source);
        QCOMPARE(m_answerer->seen.size(), 1); // the folder dialog; no warning
        QCOMPARE(store()->count(), total);
    }

    // The page shown is the one chosen last, by a new page arriving, a click on its thumbnail or
    // the keys in the list; the rotation commands turn that page and no other.
    void choosingAndRotating_data()
    {
        QTest::addColumn<int>("click"); // row clicked first, -1: none
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("row"); // the page shown then
        QTest::newRow("the newest page") << -1 << QList<int>{} << 3;
        QTest::newRow("a click") << 1 << QList<int>{} << 1;
        QTest::newRow("click, Down") << 1 << QList<int>{Qt::Key_Down} << 2;
        QTest::newRow("click, Up, Up") << 2 << QList<int>{Qt::Key_Up, Qt::Key_Up} << 0;
        QTest::newRow("Up from the newest") << -1 << QList<int>{Qt::Key_Up} << 2;
    }

    void choosingAndRotating()
    {
        QFETCH(int, click);
        QFETCH(QList<int>, keys);
        QFETCH(int, row);
        const QList<QImage> sources{page(120, 80, 1), page(90, 60, 2), page(70, 140, 3),
                                    page(100, 130, 4)};
        addPages(sources);
        if (click >= 0)
            clickRow(click);
        for (int key : keys)
            QTest::keyClick(list(), Qt::Key(key));
        QVERIFY(store()->curIndex() == row && list()->currentRow() == row);
        QVERIFY(view()->image() == store()->imageAt(row) && view()->isFitted());

        clickTool("action_rotateCW");
        // Turned clockwise: new (x, y) = old (y, h - 1 - x); the other pages unchanged.
        const QImage &turned = stored(row), &source = sources.at(row);
        QCOMPARE(turned.size(), source.size().transposed());
        for (int i = 0; i < turned.width() * turned.height(); ++i) {
            const int x = i % turned.width(), y = i / turned.width();
            QCOMPARE(turned.pixel(x, y), source.pixel(y, source.height() - 1 - x));
        }
        // Row i still shows store page i; the turned entry keeps the page's shape, turned and
        // back, on no box of its own (a white one read as a square page).
        for (int i = 0; i < sources.size(); ++i)
            QVERIFY((i == row || stored(i) == sources.at(i)) &&
                    label(i, "LableName")->text() == store()->at(i)->name);
        QVERIFY(view()->image() == store()->imageAt(row) && view()->isFitted());
        for (const QSize &shape : {turned.size(), source.size()}) {
            QCOMPARE(label(row)->pixmap(Qt::ReturnByValue).size(),
                     shape.scaled(200, 200, Qt::KeepAspectRatio));
            QCOMPARE(label(row)->grab().toImage().pixelColor(2, 2).alpha(), 0);
            clickTool("action_rotateCCW");
        }
        QCOMPARE(stored(row), sources.at(row).transformed(QTransform().rotate(270)));
    }

    // A blank page its run skipped is dimmed under "已跳过的空白页" and left out of an export;
    // "恢复此页" (Edit menu, context menu of the list) is there for it alone, not while its run
    // still writes, and asks for it back; put back, its entry looks like any other.
    void skippedPages()
    {
        const QList<QImage> cards{TextPages::card("合同条款", "Invoice", 100),
                                  TextPages::card("", "", 100),
                                  TextPages::card("付款日期", "Delivery", 100)};
        for (int i = 0; i < 3; ++i)
            m_window->AddImage(store()->addPage(cards.at(i), QByteArray(),
                                                store()->newPageName("Page"), 0, nullptr, i == 1));
        QAction *restore = m_window->findChild<QAction *>("action_restorePage");
        QCOMPARE(restore->text(), QString("恢复此页"));
        QVERIFY(m_window->findChild<QMenu *>("menu_edit")->actions().contains(restore));
        QVERIFY(list()->actions().contains(restore) &&
                list()->contextMenuPolicy() == Qt::ActionsContextMenu);
        QCOMPARE(label(1, "label_skipped")->text(), QString("已跳过的空白页"));
        QCOMPARE(list()->itemWidget(list()->item(1))->toolTip(), QString("已跳过的空白页"));
        QVERIFY(!label(0, "label_skipped") && !label(2, "label_skipped"));
        const QImage dim = label(1)->pixmap(Qt::ReturnByValue).toImage();
        for (const QPoint &p : {QPoint(0, 0), QPoint(dim.width() / 2, dim.height() / 2)})
            QVERIFY(qGray(dim.pixel(p)) > 80 && qGray(dim.pixel(p)) < 200); // greyed paper
        QCOMPARE(PageExport::storePages().size(), 2);

        QSignalSpy asked(m_window.get(), &PreviewWindow::RestorePageRequested);
        m_window->resize(700, 860);
        for (int row : {1, 0, 2, 1}) {
            if (row == 1 && list()->currentRow() == 2)
                TestEnvironment::screenshot(m_window.get(), "preview-skipped-page");
            clickRow(row);
            QCOMPARE(restore->isEnabled(), row == 1);
        }
        m_window->setRestoreAllowed(false);
        QVERIFY(!restore->isEnabled());
        restore->trigger();
        m_window->setRestoreAllowed(true);
        restore->trigger();
        QCOMPARE(asked, QList<QVariantList>{{1}});

        store()->setSkipped(1, false);
        m_window->refreshPage(1);
        QVERIFY(!label(1, "label_skipped") && !restore->isEnabled());
        QCOMPARE(label(1)->pixmap(Qt::ReturnByValue).toImage(),
                 store()->at(1)->thumbnail.convertToFormat(QImage::Format_RGB32));
        QCOMPARE(PageExport::storePages().size(), 3);
    }

    // The page commands alone, on five pages (d: delete row, u / n: up / down, m: move from>to,
    // z: undo, +: a page arrives, c: a new scan): the document's order, the row then shown
    // (-1: no command yet, or no page left) and whether an undo is left.
    void pageCommands_data()
    {
        // commands | order | row | can undo
        TestRows::add({"delete the middle | d2 | 0 1 3 4 | 2 | 1",
                       "delete the last | d4 | 0 1 2 3 | 3 | 1",
                       "delete every page | d0 d0 d0 d0 d0 | | -1 | 1",
                       "delete, undo | d2 z | 0 1 2 3 4 | 2 | 0",
                       "one undo step | d0 d0 z z | 1 2 3 4 | 0 | 0", "up | u3 | 0 1 3 2 4 | 2 | 1",
                       "down, undo | n1 z | 0 1 2 3 4 | 1 | 0",
                       "nothing to do | u0 n4 d5 m0>5 m2>2 z | 0 1 2 3 4 | -1 | 0",
                       "to the end | m0>4 | 1 2 3 4 0 | 4 | 1",
                       "to the top, undo | m3>0 z | 0 1 2 3 4 | 3 | 0",
                       "delete, a page arrives, undo | d1 + z | 0 1 2 3 4 5 | 1 | 0",
                       "move, a page arrives, undo | m0>4 + z | 0 1 2 3 4 5 | 0 | 0",
                       "a new scan | d1 c + + | 0 1 | -1 | 0"});
    }

    void pageCommands()
    {
        QFETCH(QStringList, fields);
        const QString commands = fields[0], order = fields[1];
        const int row = fields[2].toInt();
        const bool canUndo = fields[3] == "1";
        PageCommands pages;
        for (int i = 0; i < 5; ++i)
            pages.append();
        for (const QString &c : commands.split(' ')) {
            const int a = c.mid(1).section('>', 0, 0).toInt(), b = c.section('>', 1).toInt();
            const char command = c.at(0).toLatin1();
            command == 'd'   ? pages.remove(a)
            : command == 'u' ? pages.moveUp(a)
            : command == 'n' ? pages.moveDown(a)
            : command == 'm' ? pages.move(a, b)
            : command == 'z' ? pages.undo()
            : command == '+' ? pages.append() >= 0
                             : (pages.clear(), true);
        }
        QStringList got;
        for (int index : pages.order())
            got << QString::number(index);
        QCOMPARE(got.join(' '), order);
        QCOMPARE(pages.row(), row);
        QCOMPARE(pages.canUndo(), canUndo);
    }

    // The page commands in the window, through their keys and a drag in the list (c: click row,
    // Del, Up and Down with Ctrl, Z: Ctrl+Z, g<from>><row><t|b>: dropped on the top or bottom
    // of an entry): the list shows the document, the chosen page is shown, the store keeps every
    // page, and 导出 writes the document's pages in its order into one merged PDF.
    void shapingTheDocument_data()
    {
        // steps | order | row
        TestRows::add({"Delete | c1 Del | 0 2 3 | 1", "Delete, Ctrl+Z | c1 Del Z | 0 1 2 3 | 1",
                       "Ctrl+Up | c2 Up | 0 2 1 3 | 1",
                       "Ctrl+Down twice | c0 Down Down | 1 2 0 3 | 2",
                       "Ctrl+Up on the first | c0 Up | 0 1 2 3 | 0",
                       "dragged below the last | g0>3b | 1 2 3 0 | 3",
                       "dragged above the second | g3>1t | 0 3 1 2 | 1",
                       "dragged, Ctrl+Z | g0>3b Z | 0 1 2 3 | 0",
                       "every page deleted | c0 Del Del Del Del | | -1"});
    }

    void shapingTheDocument()
    {
        QFETCH(QStringList, fields);
        const QString steps = fields[0], order = fields[1];
        const int row = fields[2].toInt();
        QStringList names;
        for (QAction *action : list()->actions())
            names << action->text() +
                         (action->shortcut().isEmpty() ? "" : " " + action->shortcut().toString());
        QCOMPARE(names, QStringList({"删除页面 Del", "上移 Ctrl+Up", "下移 Ctrl+Down",
                                     "撤销 Ctrl+Z", "", "恢复此页"}));
        QCOMPARE(m_window->findChild<QAction *>("action_save")->text(), QString("导出"));
        ParamSetting::instance.save_type = SaveFormat::MergedPdf;
        QList<QImage> sources;
        for (int i = 0; i < 4; ++i)
            sources << page(60 + 10 * i, 40, i);
        addPages(sources);
        runSteps(steps);
        if (QTest::currentDataTag() == QString("Ctrl+Up")) {
            m_window->resize(700, 860);
            TestEnvironment::screenshot(m_window.get(), "preview-page-commands");
        }
        QCOMPARE(listed(), order);
        QCOMPARE(store()->count(), 4);
        QCOMPARE(list()->currentRow(), row);
        const QStringList pages = order.split(' ', Qt::SkipEmptyParts);
        QVERIFY(view()->image() == (row < 0 ? QImage() : stored(pages.at(row).toInt())));
        runSteps("E");
        const QStringList files = QDir(m_dir->path()).entryList(QDir::Files);
        QCOMPARE(files.size(), pages.isEmpty() ? 0 : 1);
        QStringList written;
        for (const PdfFiles::Page &p : PdfFiles::pages(m_dir->filePath(files.value(0))))
            written << QString::number((p.pixels.width() - 60) / 10);
        QCOMPARE(written, pages);
    }

    // A new scan or preview empties the preview only with the operator's word while it holds
    // pages never saved (S<page>: skipped by its run, E: 导出 into a merged PDF, W: their run
    // still writes them; as above else):
    // not counting pages skipped or deleted, nor pages 导出 has written.
    void unsavedPagesAreAskedFor_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("asked"); // N of "预览中有 N 页尚未保存，是否丢弃？", 0: no question
        QTest::newRow("a preview, No") << "" << false << 4;
        QTest::newRow("a preview, Yes") << "" << true << 4;
        QTest::newRow("skipped and deleted") << "c1 Del S2" << false << 2;
        QTest::newRow("exported") << "E" << false << 0;
        QTest::newRow("their run still writes them") << "W" << false << 0;
        QTest::newRow("exported, a deleted page back") << "c1 Del E Z" << false << 1;
    }

    void unsavedPagesAreAskedFor()
    {
        QFETCH(QString, steps);
        QFETCH(bool, yes);
        QFETCH(int, asked);
        ParamSetting::instance.save_type = SaveFormat::MergedPdf;
        addPages({page(60, 40, 1), page(70, 40, 2), page(80, 40, 3), page(90, 40, 4)});
        runSteps(steps);
        const int before = m_answerer->seen.size();
        m_answerer->expectMessageBox(yes ? QMessageBox::Yes : QMessageBox::No);
        QCOMPARE(PreviewDiscard::confirm(m_window.get()), yes || !asked);
        QCOMPARE(m_answerer->seen.size() - before, asked ? 1 : 0);
        if (asked)
            QCOMPARE(m_answerer->seen.last().title + "|" + m_answerer->seen.last().text,
                     QString("提示|预览中有 %1 页尚未保存，是否丢弃？").arg(asked));
    }

    // An image exactly as tall as the scroll area: the vertical bar has a range, yet a drag (sent
    // to the window, whose press grabs the mouse) scrolls only across, by its share of the rest.
    void panning()
    {
        addPages({page(2000, area()->height())});
        clickTool("action_resize");
        QCoreApplication::processEvents(); // the bars settle on posted events
        QScrollBar *vbar = area()->verticalScrollBar(), *hbar = area()->horizontalScrollBar();
        QVERIFY(vbar->maximum() > 0);
        vbar->setValue(vbar->maximum());
        QWindow *window = m_window->windowHandle();
        const QPoint at = view()->mapTo(m_window.get(), QPoint(300, 100)), to = at - QPoint(50, 10);
        QTest::mousePress(window, Qt::MiddleButton, {}, at);
        QCOMPARE(view()->cursor().shape(), Qt::ClosedHandCursor);
        QTest::mouseMove(window, to);
        QTRY_COMPARE(hbar->value(), int(50.0f / (2000 - area()->width()) * hbar->maximum()));
        QCOMPARE(vbar->value(), vbar->maximum());
        QTest::mouseRelease(window, Qt::MiddleButton, {}, to);
        QCOMPARE(view()->cursor().shape(), Qt::ArrowCursor);
    }
};

SCANCONSOLE_TEST_MAIN(TestPreview)
#include "tst_preview.moc"
