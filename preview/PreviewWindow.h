// preview/: the preview window, its thumbnails and page view, and the export of pages from it.

#pragma once

#include "preview/PageCommands.h"
#include "preview/PageExport.h"

#include <QMainWindow>

class ImageTree;
class ImageView;
class QAction;
class QDockWidget;
class QHBoxLayout;
class QLabel;
class QMenu;
class QMenuBar;
class QScrollArea;
class QStatusBar;
class QToolBar;
struct ImageObject;

// The window in which the scanned pages are looked at: thumbnails in a dock on the left, one
// page large in the centre, File and Edit commands (export, rotation, region capture, 100 %, fit
// to window) and the zoom percentage in the status bar. The pages live in the page store.
// The page shown is always the store's current page and the list's current row: a new page, a
// click or the arrow keys in the list choose it, and the rotation commands turn it. The page
// commands (delete, move up and down, drag and drop, undo; Edit menu, keys, the list's context
// menu) shape the document an export writes (PageCommands): the list shows that document, the
// store keeps every page. A blank page the run skipped is shown dimmed; "Restore this page" asks
// for it to be put back into the run's documents (RestorePageRequested), whoever knows the run
// does it and says so through refreshPage().
class PreviewWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit PreviewWindow(QWidget *parent = nullptr);
    ~PreviewWindow() override;

    // The one preview window; the thumbnail list and the view call back through it.
    static PreviewWindow *m_Instance;

    // Appends `page` (the store's newest) to the list and shows it.
    void AddImage(ImageObject *page);
    void ClearImage();
    // Shows store page `index` and makes it the current page; a negative index does nothing.
    void SetCurImage(int index);
    void UpdateStatueScale(int scale);
    // Whether skipped pages may be put back now (not while their run is still writing, nor
    // while a page is being put back).
    void setRestoreAllowed(bool allowed);
    // Shows store page `index` again as it now is (skipped or not).
    void refreshPage(int index);
    // The pages an export writes: the document's, in its order, without skipped pages.
    QList<PageExport::Page> exportPages() const;
    // The store indexes of the document's pages, in its order.
    const QList<int> &pageOrder() const { return m_commands.order(); }
    // The store's pages this window has been given so far (AddImage), shown or deleted.
    int pagesReceived() const { return m_commands.received(); }
    // Whether a run still writes the pages shown into its documents (a searchable PDF whose text
    // is being recognised): they are not at risk, though not saved yet. Cleared by ClearImage().
    void setPagesBeingWritten(bool writing) { m_pagesBeingWritten = writing; }
    bool pagesBeingWritten() const { return m_pagesBeingWritten; }
    // Where the region capture is armed, how to draw it; or the page's own status again.
    void showCaptureHint(bool armed);

public slots:
    void slotExport();
    void slotQuit();
    void slotRotateCW90();
    void slotRotateCCW90();
    void slotRotateCW180();
    void slotScreenshot();
    void slotResize();
    void slotFit();
    void slotRestorePage();
    void slotDeletePage();
    void slotMoveUp();
    void slotMoveDown();
    void slotUndo();

signals:
    // "Restore this page" on store page `index`, a skipped page.
    void RestorePageRequested(int index);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void InitImageView();
    void InitFile();
    void InitEdit();
    void InitPageCommands();
    void rotateCurrent(int angle);
    void updateRestoreAction();
    // Shows the page in row `row` of the document (a negative row: none).
    void showRow(int row);
    // After a page command: the list laid out anew, the command's page shown.
    void applyCommand(bool done);
    void updatePageActions();
    // The document row of the page shown, or -1.
    int currentRow() const;

    QWidget *m_centralWidget;
    QMenuBar *m_menuBar;
    QToolBar *m_mainToolBar;
    QStatusBar *m_statusBar;
    QHBoxLayout *m_horizontalLayout;
    QScrollArea *m_scrollArea;
    ImageView *m_imageView;
    QDockWidget *m_dock;
    ImageTree *m_imageTree;
    QMenu *m_menuFile;
    QMenu *m_menuEdit;
    QAction *m_actionSave;
    QAction *m_actionQuit;
    QAction *m_actionScreenshot;
    QAction *m_actionRotateCW;
    QAction *m_actionRotateCCW;
    QAction *m_actionResize;
    QAction *m_actionFit;
    QAction *m_actionRestore;
    QAction *m_actionDelete;
    QAction *m_actionMoveUp;
    QAction *m_actionMoveDown;
    QAction *m_actionUndo;
    QLabel *m_labelZoom;
    PageCommands m_commands;
    bool m_restoreAllowed = true;
    bool m_pagesBeingWritten = false;
};
