#include "imaging/SearchablePdfJob.h"

#include "imaging/FileCommit.h"
#include "imaging/ImageEncoder.h"
#include "imaging/PageResolution.h"
#include "imaging/SearchablePdfWriter.h"
#include "imaging/TextRecogniser.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cmath>

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
    if (image.isNull() || !m_files.isValid())
        return false;
    const QByteArray bytes = jpeg.isEmpty() ? ImageEncoder::encode(image, "jpeg") : jpeg;
    if (bytes.isEmpty())
        return false;
    QMutexLocker lock(&m_mutex);
    if (m_finishing)
        return false;
    const QString path = m_files.filePath(QStringLiteral("page-%1.jpg").arg(m_pages.size()));
    if (!FileCommit::write(bytes, path))
        return false;
    m_pages.append({path, image.size(), int(std::lround(PageResolution::dpi(image).y()))});
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

// One worker: takes the next page, recognises it (or, once cancelled, only sets it), and puts
// it into the PDF when every earlier page is in.
void SearchablePdfJob::work()
{
    TextRecogniser recogniser(m_languages);
    int index = 0;
    Page page;
    while (takePage(&index, &page)) {
        const bool recognised =
            !m_cancel && recogniser.recognise(page.jpegPath, page.dpi, &m_cancel);
        if (!recognised)
            recogniser.setWithoutText(page.jpegPath, page.pixels, page.dpi);
        putInOrder(index, recogniser, recognised);
    }
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

void SearchablePdfJob::putInOrder(int index, TextRecogniser &recogniser, bool recognised)
{
    QMutexLocker lock(&m_mutex);
    while (m_nextToWrite != index)
        m_changed.wait(&m_mutex);
    // The writer is used by one worker at a time: the one whose page is next.
    m_writer->add(recogniser);
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
