#pragma once

#include "preview/PageExport.h"

#include <QDialog>

#include <functional>
#include <memory>

class PageSaveThread;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// Runs one save of files on a PageSaveThread and is its face: a small dialog, modal to the
// window that started the save, that says "Saving N/M" (in a searchable PDF: "Text recognition
// N/M", page by page) and offers Cancel. It appears only when the save takes longer than a
// moment, so a quick save flashes nothing. When the save has ended it reports the files that
// could not be written (once, naming the first), emits Finished and deletes itself. Closing the
// dialog (Escape, the window's close button) cancels like the button.
class PageSaveProgress : public QDialog
{
    Q_OBJECT

public:
    // Starts writing `files` for `window` (which owns the returned object; destroying it stops
    // the save and waits for the thread). `overwrite` clear keeps existing targets. `watch` is
    // called with the worker before it starts, so a caller's connections see all its signals
    // (a save that fails at once ends before start returns).
    static PageSaveProgress *start(QWidget *window, const QList<PageExport::File> &files,
                                   bool overwrite,
                                   const std::function<void(PageSaveThread *)> &watch = {});
    ~PageSaveProgress() override;

    // The worker, already started: its first signals may have gone (connect through `watch`).
    PageSaveThread *worker() const { return m_thread.get(); }

    // How long a save runs before the dialog appears.
    static const int ShowDelayMs = 500;

public slots:
    // Stops the save between files: the files already written stay, the one being written is
    // discarded.
    void onCancel();
    void reject() override;

signals:
    void Finished(bool cancelled);

private slots:
    void onUpdateProgress(int number, int total);
    void onUpdateRecognition(int done, int total);
    void onSaveFinished(const QStringList &failed, bool cancelled);

private:
    PageSaveProgress(QWidget *window, const QList<PageExport::File> &files, bool overwrite,
                     const std::function<void(PageSaveThread *)> &watch);

    std::unique_ptr<PageSaveThread> m_thread;
    QLabel *m_label;
    QProgressBar *m_bar;
    QPushButton *m_cancel;
    QTimer *m_showTimer;
};
