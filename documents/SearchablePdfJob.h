#pragma once

#include "documents/TextLines.h"

#include <QImage>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QTemporaryDir>
#include <QWaitCondition>

#include <atomic>
#include <memory>

class PageSource;
class QThread;
class SearchablePdfWriter;
class TextRecogniser;

// Makes one searchable PDF of the pages handed to it, recognising their text on a pool of
// worker threads (one recognition engine each) while more pages arrive, so recognition never
// holds up the caller. Pages go into the PDF in the order they were added. The file is written
// once finish() has been called and the last page is done: whole, or not at all. cancel() stops
// recognising: the pages not recognised by then go in without text, and the PDF is still
// written (a cancelled job leaves the pages, not nothing). A target named ".ofd" gets the same
// document as an OFD package (SearchablePdfWriter).
//
// addPage(), finish() and cancel() may be called from any thread. The signals are sent from
// the worker threads in order (every Progress before Finished) while the job's lock is held:
// connect them queued (a receiver living in another thread); a slot called directly must not
// call back into the job.
class SearchablePdfJob : public QObject
{
    Q_OBJECT

public:
    // The workers' nice value: below the rest of the console.
    static const int WorkerNice = 10;

    // `workers` threads (at least one); `languages` as Tesseract names them. The target may be
    // named later (setTarget), before the file is written.
    explicit SearchablePdfJob(const QString &target, int workers = 1,
                              const QString &languages = QStringLiteral("chi_sim+eng"),
                              QObject *parent = nullptr);
    // Cancels what is left, waits for the workers, and so writes the PDF if finish() was called.
    ~SearchablePdfJob() override;

    // The next page: its corrected image, and the JPEG file it came from when the image is
    // that file unchanged (embedded as it is; otherwise the image is encoded as JPEG at Qt's
    // default quality). Its size in the PDF follows from the image's resolution. False (the
    // page is not taken) for a null image, after finish(), or when it cannot be stored.
    bool addPage(const QImage &image, const QByteArray &jpeg = QByteArray());
    // The same for a page of the store: its document JPEG (the scanner's own file when nothing
    // changed the page), its size and resolution, fetched now.
    bool addPage(const PageSource &page);
    // No more pages: the PDF is written when the last one is done.
    void finish();
    // Stops recognising (also the page under way); the remaining pages go in without text.
    void cancel();
    // Waits until the job has ended (Finished sent); false on time-out.
    bool wait(int milliseconds = -1);

    int pageCount() const;
    // The file the job writes; setTarget() may name it until the job ends.
    QString target() const;
    void setTarget(const QString &target);

signals:
    // After each page is done: pages done (with or without text) and pages added so far.
    void Progress(int done, int total);
    // Once, at the end: whether the file was written, how many pages carry recognised text,
    // and how many pages it holds.
    void Finished(bool written, int withText, int pages);

private:
    struct Page
    {
        QString jpegPath;
        QSize pixels;
        int dpi;
    };
    void work();
    bool addJpeg(const QByteArray &jpeg, const QSize &pixels, int dpi);
    bool takePage(int *index, Page *page);
    void putInOrder(int index, const Page &page, bool recognised,
                    const QList<TextLines::Line> &text);
    void finishIfDone(); // with m_mutex held

    QTemporaryDir m_files;
    std::unique_ptr<SearchablePdfWriter> m_writer;
    QString m_languages;
    QList<QThread *> m_threads;
    std::atomic_bool m_cancel{false};

    mutable QMutex m_mutex; // guards everything below
    QWaitCondition m_changed;
    QList<Page> m_pages;
    int m_nextToTake = 0;
    int m_nextToWrite = 0;
    int m_withText = 0;
    bool m_finishing = false;
    bool m_ended = false;
    bool m_written = false;
};
