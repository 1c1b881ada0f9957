#include "documents/SearchablePdfJob.h"

#include "documents/SearchablePdfWriter.h"
#include "documents/TextLines.h"
#include "documents/TextRecogniser.h"
#include "documents/TextRecogniserPool.h"
#include "pages/FileCommit.h"
#include "pages/ImageEncoder.h"
#include "pages/PageResolution.h"
#include "pages/PageSource.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cmath>
#include <malloc.h>

#include <sys/resource.h>

SearchablePdfJob::SearchablePdfJob(const QString &target, int workers, const QString &languages,
                                   QObject *parent)
    : QObject(parent), m_writer(std::make_unique<SearchablePdfWriter>(target)),
      m_languages(languages)
{
    for (int i = 0; i < qMax(1, workers); ++i) {
        QThread *thread = QThread::create([this] { work(); });
        m_threads.append(thread);
        thread->start();
    }
}

SearchablePdfJob::~SearchablePdfJob()
{
    cancel();
    finish();
    for (QThread *thread : m_threads) {
        thread->wait();
        delete thread;
    }
}

bool SearchablePdfJob::addPage(const QImage &image, const QByteArray &jpeg)
{
    if (image.isNull())
        return false;
    return addJpeg(jpeg.isEmpty() ? ImageEncoder::encode(image, "jpeg") : jpeg, image.size(),
                   int(std::lround(PageResolution::dpi(image).y())));
}

bool SearchablePdfJob::addPage(const PageSource &page)
{
    if (page.isNull())
        return false;
    return addJpeg(page.documentJpeg(), page.size(), int(std::lround(page.dpi().y())));
}

bool SearchablePdfJob::addJpeg(const QByteArray &jpeg, const QSize &pixels, int dpi)
{
    if (jpeg.isEmpty() || pixels.isEmpty() || !m_files.isValid())
        return false;
    QMutexLocker lock(&m_mutex);
    if (m_finishing)
        return false;
    const QString path = m_files.filePath(QStringLiteral("page-%1.jpg").arg(m_pages.size()));
    if (!FileCommit::write(jpeg, path))
        return false;
    m_pages.append({path, pixels, dpi});
    m_changed.wakeAll();
    return true;
}

void SearchablePdfJob::finish()
{
    QMutexLocker lock(&m_mutex);
    m_finishing = true;
    m_changed.wakeAll();
}

void SearchablePdfJob::cancel()
{
    m_cancel = true;
}

bool SearchablePdfJob::wait(int milliseconds)
{
    QDeadlineTimer deadline(milliseconds < 0 ? QDeadlineTimer::Forever
                                             : QDeadlineTimer(milliseconds));
    QMutexLocker lock(&m_mutex);
    while (!m_ended) {
        if (!m_changed.wait(&m_mutex, deadline))
            return m_ended;
    }
    return true;
}

int SearchablePdfJob::pageCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_pages.size();
}

QString SearchablePdfJob::target() const
{
    QMutexLocker lock(&m_mutex);
    return m_writer->target();
}

void SearchablePdfJob::setTarget(const QString &target)
{
    QMutexLocker lock(&m_mutex);
    m_writer->setTarget(target);
}

// One worker: takes the next page, recognises it (or, once cancelled, only sets it), and puts
// it into the PDF when every earlier page is in.
void SearchablePdfJob::work()
{
    // Recognition takes seconds per page and may wait: the collector's threads and the window
    // come first whenever they want a core (on Linux the nice value is the thread's own).
    setpriority(PRIO_PROCESS, 0, WorkerNice);
    // The engine comes from the last run when it read the same languages, and goes back for
    // the next one.
    std::unique_ptr<TextRecogniser> recogniser = TextRecogniserPool::shared().take(m_languages);
    int index = 0;
    Page page;
    while (takePage(&index, &page)) {
        const bool recognised =
            !m_cancel && recogniser->recognise(page.jpegPath, page.dpi, &m_cancel);
        // The lines in reading order, in the page's pixels (not the engine's working copy).
        QList<TextLines::Line> lines;
        if (recognised)
            lines = TextLines::read(*recogniser->engine(), page.pixels);
        // The engine's page (its images and layout, tens of MB) goes before the wait for the
        // earlier pages, and the heap it leaves goes back to the system: each thread's engine
        // allocates in an arena of its own, which otherwise keeps its largest page for ever.
        recogniser->clear();
        malloc_trim(0);
        putInOrder(index, page, recognised, lines);
    }
    TextRecogniserPool::shared().giveBack(std::move(recogniser));
}

bool SearchablePdfJob::takePage(int *index, Page *page)
{
    QMutexLocker lock(&m_mutex);
    while (m_nextToTake >= m_pages.size()) {
        if (m_finishing) {
            finishIfDone();
            return false;
        }
        m_changed.wait(&m_mutex);
    }
    *index = m_nextToTake++;
    *page = m_pages.at(*index);
    return true;
}

void SearchablePdfJob::putInOrder(int index, const Page &page, bool recognised,
                                  const QList<TextLines::Line> &text)
{
    {
        QMutexLocker lock(&m_mutex);
        while (m_nextToWrite != index)
            m_changed.wait(&m_mutex);
    }
    // The writer is used by one worker at a time, the one whose page is next, and without the
    // lock: pages keep coming in while it writes.
    m_writer->add(page.jpegPath, page.pixels, page.dpi, text);
    QMutexLocker lock(&m_mutex);
    m_withText += recognised ? 1 : 0;
    ++m_nextToWrite;
    m_changed.wakeAll();
    emit Progress(m_nextToWrite, m_pages.size());
    finishIfDone();
}

void SearchablePdfJob::finishIfDone()
{
    if (!m_finishing || m_ended || m_nextToWrite < m_pages.size())
        return;
    m_written = m_writer->finish();
    m_ended = true;
    m_changed.wakeAll();
    emit Finished(m_written, m_withText, m_pages.size());
}
