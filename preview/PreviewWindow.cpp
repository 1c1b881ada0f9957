#include "preview/PreviewWindow.h"

#include "pages/ImageManager.h"
#include "preview/ImageTree.h"
#include "preview/ImageView.h"
#include "preview/PageExport.h"
#include "preview/PageSaveProgress.h"
#include "settings/ParamSetting.h"

#include <QAction>
#include <QCoreApplication>
#include <QDockWidget>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolBar>
#include <QTransform>

PreviewWindow *PreviewWindow::m_Instance = nullptr;

PreviewWindow::PreviewWindow(QWidget *parent) : QMainWindow(parent)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("PreviewWindowClass"));
    resize(600, 400);
    setWindowIcon(QIcon(QStringLiteral(":/PreviewWindow/res/MainWin.jpg")));

    m_centralWidget = new QWidget(this);
    m_centralWidget->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(m_centralWidget);
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("menuBar"));
    m_menuBar->setGeometry(QRect(0, 0, 600, 23));
    setMenuBar(m_menuBar);
    m_mainToolBar = new QToolBar(this);
    m_mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    addToolBar(Qt::TopToolBarArea, m_mainToolBar);
    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    setStatusBar(m_statusBar);
    setWindowTitle(QCoreApplication::translate("PreviewWindowClass", "预览"));
    QMetaObject::connectSlotsByName(this);

    InitImageView();
    InitFile();
    InitEdit();

    m_dock = new QDockWidget(tr("Image manager"), this);
    m_dock->setObjectName(QStringLiteral("dock_imageManager"));
    m_dock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    m_dock->setFeatures(QDockWidget::DockWidgetMovable);
    addDockWidget(Qt::LeftDockWidgetArea, m_dock);
    m_imageTree = new ImageTree(m_dock);
    m_imageTree->resize(300, 100);
    m_dock->setWidget(m_imageTree);
    connect(m_imageTree, &ImageTree::RowChosen, this, &PreviewWindow::showRow);
    InitPageCommands();

    m_labelZoom = new QLabel;
    m_labelZoom->setObjectName(QStringLiteral("label_zoom"));
    m_labelZoom->setMinimumSize(150, 20);
    m_labelZoom->setFrameShape(QFrame::NoFrame);
    m_labelZoom->setTextFormat(Qt::RichText);
    m_statusBar->addPermanentWidget(m_labelZoom);
    UpdateStatueScale(100);

    m_Instance = this;
}

PreviewWindow::~PreviewWindow()
{
    // The view and the list must not call back into a window that is gone.
    if (m_Instance == this)
        m_Instance = nullptr;
}

void PreviewWindow::InitImageView()
{
    m_horizontalLayout = new QHBoxLayout(m_centralWidget);
    m_horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    m_horizontalLayout->setSpacing(6);
    m_horizontalLayout->setContentsMargins(0, 0, 0, 0);

    m_scrollArea = new QScrollArea(m_centralWidget);
    m_scrollArea->setObjectName(QStringLiteral("scrollArea"));
    m_scrollArea->setWidgetResizable(false);
    QPalette pal = m_scrollArea->palette();
    pal.setBrush(QPalette::All, QPalette::Window, QBrush(QColor(200, 200, 200)));
    m_scrollArea->setPalette(pal);

    m_imageView = new ImageView;
    m_imageView->setObjectName(QStringLiteral("imageView"));
    m_imageView->move(0, 0);
    m_scrollArea->setWidget(m_imageView);
    m_horizontalLayout->addWidget(m_scrollArea);
    // The view fills and centres within the viewport, which also changes size when a scroll bar
    // comes or goes; without a new layout then, a page narrower than the viewport would get a
    // needless horizontal scroll bar and sit off centre.
    m_scrollArea->viewport()->installEventFilter(this);
}

void PreviewWindow::InitFile()
{
    // Writes the document as the page commands shaped it.
    m_actionSave =
        new QAction(QIcon(QStringLiteral(":/PreviewWindow/res/SaveFile.png")), tr("Export"), this);
    m_actionSave->setObjectName(QStringLiteral("action_save"));
    m_actionSave->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    connect(m_actionSave, &QAction::triggered, this, &PreviewWindow::slotExport);

    m_actionQuit = new QAction(tr("Quit"), this);
    m_actionQuit->setObjectName(QStringLiteral("action_quit"));
    m_actionQuit->setShortcut(QKeySequence(QStringLiteral("Alt+F4")));
    connect(m_actionQuit, &QAction::triggered, this, &PreviewWindow::slotQuit);

    m_menuFile = m_menuBar->addMenu(tr("File(&F)"));
    m_menuFile->setObjectName(QStringLiteral("menu_file"));
    m_menuFile->addAction(m_actionSave);
    m_menuFile->addSeparator();
    m_menuFile->addAction(m_actionQuit);
    m_mainToolBar->addAction(m_actionSave);
}

void PreviewWindow::InitEdit()
{
    m_actionScreenshot = new QAction(QIcon(QStringLiteral(":/PreviewWindow/res/Screenshot.png")),
                                     tr("Screenshot"), this);
    m_actionScreenshot->setObjectName(QStringLiteral("action_screenshot"));
    connect(m_actionScreenshot, &QAction::triggered, this, &PreviewWindow::slotScreenshot);

    m_actionRotateCCW = new QAction(QIcon(QStringLiteral(":/PreviewWindow/res/rotate_ccw.png")),
                                    tr("Rotate 90 degrees CCW"), this);
    m_actionRotateCCW->setObjectName(QStringLiteral("action_rotateCCW"));
    connect(m_actionRotateCCW, &QAction::triggered, this, &PreviewWindow::slotRotateCCW90);

    m_actionRotateCW = new QAction(QIcon(QStringLiteral(":/PreviewWindow/res/rotate_cw.png")),
                                   tr("Rotate 90 degrees CW"), this);
    m_actionRotateCW->setObjectName(QStringLiteral("action_rotateCW"));
    connect(m_actionRotateCW, &QAction::triggered, this, &PreviewWindow::slotRotateCW90);

    m_actionResize =
        new QAction(QIcon(QStringLiteral(":/PreviewWindow/res/resize.png")), tr("100%"), this);
    m_actionResize->setObjectName(QStringLiteral("action_resize"));
    connect(m_actionResize, &QAction::triggered, this, &PreviewWindow::slotResize);

    m_actionFit = new QAction(QIcon(QStringLiteral(":/PreviewWindow/res/fit.png")),
                              tr("Fit to window"), this);
    m_actionFit->setObjectName(QStringLiteral("action_fit"));
    m_actionFit->setShortcut(QKeySequence(Qt::Key_F));
    connect(m_actionFit, &QAction::triggered, this, &PreviewWindow::slotFit);

    m_menuEdit = m_menuBar->addMenu(tr("Edit(&E)"));
    m_menuEdit->setObjectName(QStringLiteral("menu_edit"));
    m_menuEdit->addAction(m_actionRotateCCW);
    m_menuEdit->addAction(m_actionRotateCW);
    m_menuEdit->addAction(m_actionScreenshot);
    m_menuEdit->addAction(m_actionResize);
    m_menuEdit->addAction(m_actionFit);

    m_actionRestore = new QAction(tr("Restore this page"), this);
    m_actionRestore->setObjectName(QStringLiteral("action_restorePage"));
    m_actionRestore->setEnabled(false);
    connect(m_actionRestore, &QAction::triggered, this, &PreviewWindow::slotRestorePage);
    m_menuEdit->addSeparator();
    m_menuEdit->addAction(m_actionRestore);

    m_mainToolBar->addSeparator();
    m_mainToolBar->addAction(m_actionRotateCCW);
    m_mainToolBar->addAction(m_actionRotateCW);
    m_mainToolBar->addAction(m_actionScreenshot);
    m_mainToolBar->addAction(m_actionResize);
    m_mainToolBar->addAction(m_actionFit);
}

void PreviewWindow::InitPageCommands()
{
    const struct
    {
        QAction **action;
        QString text;
        QKeySequence key;
        const char *name;
        void (PreviewWindow::*slot)();
    } commands[] = {
        {&m_actionDelete, tr("Delete page"), QKeySequence::Delete, "action_deletePage",
         &PreviewWindow::slotDeletePage},
        {&m_actionMoveUp, tr("Move up"), QKeySequence(Qt::CTRL + Qt::Key_Up), "action_moveUp",
         &PreviewWindow::slotMoveUp},
        {&m_actionMoveDown, tr("Move down"), QKeySequence(Qt::CTRL + Qt::Key_Down),
         "action_moveDown", &PreviewWindow::slotMoveDown},
        {&m_actionUndo, tr("Undo"), QKeySequence::Undo, "action_undo", &PreviewWindow::slotUndo},
    };
    m_menuEdit->addSeparator();
    QList<QAction *> context;
    for (const auto &command : commands) {
        QAction *action = new QAction(command.text, this);
        action->setObjectName(QLatin1String(command.name));
        action->setShortcut(command.key);
        connect(action, &QAction::triggered, this, command.slot);
        m_menuEdit->addAction(action);
        context << action;
        *command.action = action;
    }
    auto *separator = new QAction(this);
    separator->setSeparator(true);
    m_imageTree->setContextActions(context << separator << m_actionRestore);
    // Queued: the list is laid out anew only once its drag has ended.
    connect(
        m_imageTree, &ImageTree::PageDropped, this,
        [this](int from, int to) { applyCommand(m_commands.move(from, to)); },
        Qt::QueuedConnection);
    updatePageActions();
}

void PreviewWindow::AddImage(ImageObject *page)
{
    if (!page)
        return;
    const int index = m_commands.append(); // pages come in store order
    m_imageTree->addImage(page);
    SetCurImage(index);
}

void PreviewWindow::ClearImage()
{
    m_commands.clear();
    m_pagesBeingWritten = false;
    m_imageView->SetImage(QImage());
    m_imageTree->clearImage();
    updateRestoreAction();
}

void PreviewWindow::SetCurImage(int index)
{
    const int row = m_commands.rowOf(index);
    ImageManager *store = ImageManager::Instance();
    ImageObject *page = store->at(index);
    if (row < 0 || !page)
        return;
    store->setCurIndex(index);
    m_imageTree->setCurrentRow(row);
    m_imageView->SetImage(store->imageAt(index));
    updateRestoreAction();
}

void PreviewWindow::showRow(int row)
{
    if (row >= 0) {
        SetCurImage(m_commands.storeIndex(row));
        return;
    }
    // No page left in the document.
    ImageManager::Instance()->setCurIndex(-1);
    m_imageView->SetImage(QImage());
    updateRestoreAction();
}

void PreviewWindow::applyCommand(bool done)
{
    if (!done)
        return;
    m_imageView->EndScreenshot();
    ImageManager *store = ImageManager::Instance();
    QList<const ImageObject *> pages;
    for (int index : m_commands.order())
        pages << store->at(index);
    m_imageTree->setPages(pages);
    showRow(m_commands.row());
}

void PreviewWindow::updatePageActions()
{
    const int row = m_commands.rowOf(ImageManager::Instance()->curIndex());
    m_actionDelete->setEnabled(row >= 0);
    m_actionMoveUp->setEnabled(row > 0);
    m_actionMoveDown->setEnabled(row >= 0 && row < m_commands.count() - 1);
    m_actionUndo->setEnabled(m_commands.canUndo());
}

int PreviewWindow::currentRow() const
{
    return m_commands.rowOf(ImageManager::Instance()->curIndex());
}

void PreviewWindow::slotDeletePage()
{
    applyCommand(m_commands.remove(currentRow()));
}

void PreviewWindow::slotMoveUp()
{
    applyCommand(m_commands.moveUp(currentRow()));
}

void PreviewWindow::slotMoveDown()
{
    applyCommand(m_commands.moveDown(currentRow()));
}

void PreviewWindow::slotUndo()
{
    applyCommand(m_commands.undo());
}

QList<PageExport::Page> PreviewWindow::exportPages() const
{
    return PageExport::orderedPages(m_commands.order());
}

void PreviewWindow::showCaptureHint(bool armed)
{
    if (armed)
        m_statusBar->showMessage(
            tr("Drag over the region, or click two corners; Enter saves, Escape ends"));
    else
        updateRestoreAction();
}

void PreviewWindow::setRestoreAllowed(bool allowed)
{
    m_restoreAllowed = allowed;
    updateRestoreAction();
}

void PreviewWindow::refreshPage(int index)
{
    m_imageTree->updateImage(m_commands.rowOf(index), ImageManager::Instance()->at(index));
    updateRestoreAction();
}

void PreviewWindow::updateRestoreAction()
{
    updatePageActions();
    const ImageObject *page = ImageManager::Instance()->getCurImage();
    const bool skipped = page && page->skipped && m_imageTree->count() > 0;
    m_actionRestore->setEnabled(skipped && m_restoreAllowed);
    if (skipped)
        m_statusBar->showMessage(
            tr("Skipped blank page, not saved: Restore this page puts it back"));
    else
        m_statusBar->clearMessage();
}

void PreviewWindow::slotRestorePage()
{
    const int index = ImageManager::Instance()->curIndex();
    const ImageObject *page = ImageManager::Instance()->at(index);
    if (page && page->skipped && m_restoreAllowed)
        emit RestorePageRequested(index);
}

void PreviewWindow::UpdateStatueScale(int scale)
{
    m_labelZoom->setText(QString::number(scale) + QStringLiteral("%"));
}

void PreviewWindow::slotExport()
{
    m_imageView->EndScreenshot();
    const QString folder = QFileDialog::getExistingDirectory(
        this, tr("Save"), QString(), QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty())
        return;

    const PageExport job(folder, ParamSetting::instance.save_type, exportPages(),
                         ParamSetting::instance.ocr_languages);
    const QList<PageExport::File> files = job.files();
    if (files.isEmpty())
        return;

    // One question for the whole export, asked at the first file that would be replaced.
    bool overwrite = false;
    if (!job.firstExistingTarget().isEmpty()) {
        const int answer = QMessageBox::information(
            nullptr, tr("Infomation"), tr("the file has exited,do you want to replace it?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (answer == QMessageBox::Yes)
            overwrite = true;
        else if (answer != QMessageBox::No)
            return;
    }
    // Written on a worker thread with its progress dialog; failures are reported when it ends.
    PageSaveProgress::start(this, files, overwrite);
}

void PreviewWindow::slotQuit()
{
    close();
}

void PreviewWindow::rotateCurrent(int angle)
{
    m_imageView->EndScreenshot();
    ImageManager *store = ImageManager::Instance();
    const int index = store->curIndex();
    if (index < 0)
        return;
    const QImage page = store->imageAt(index);
    if (page.isNull())
        return;
    // The store keeps the turned page as a new version: a save reading the page meanwhile reads
    // one version or the other, whole.
    const QImage rotated = page.transformed(QTransform().rotate(angle), Qt::FastTransformation);
    store->replaceImage(index, rotated);
    m_imageTree->updateImage(m_commands.rowOf(index), store->at(index));
    m_imageView->SetImage(rotated);
}

void PreviewWindow::slotRotateCW90()
{
    rotateCurrent(90);
}

void PreviewWindow::slotRotateCCW90()
{
    rotateCurrent(270);
}

void PreviewWindow::slotRotateCW180()
{
    rotateCurrent(180);
}

void PreviewWindow::slotScreenshot()
{
    m_imageView->StartScreenshot();
}

void PreviewWindow::slotResize()
{
    m_imageView->EndScreenshot();
    m_imageView->ShowOriginSize();
}

void PreviewWindow::slotFit()
{
    m_imageView->EndScreenshot();
    m_imageView->FitView();
}

void PreviewWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        m_imageView->EndScreenshot();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_imageView->SaveScreenshot();
        break;
    default:
        QMainWindow::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PreviewWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    m_imageView->UpdateImagePos();
}

bool PreviewWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_scrollArea->viewport() && event->type() == QEvent::Resize)
        m_imageView->UpdateImagePos();
    return QMainWindow::eventFilter(watched, event);
}
