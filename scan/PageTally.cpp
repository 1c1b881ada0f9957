#include "scan/PageTally.h"

#include <QMutexLocker>

#include <algorithm>

PageTally::PageTally(QObject *parent) : QObject(parent) {}

void PageTally::pageCollected()
{
    int collected = 0;
    {
        QMutexLocker lock(&m_mutex);
        collected = ++m_counts.collected;
    }
    emit Counted(collected);
}

void PageTally::pageSaved(const QString &file)
{
    QMutexLocker lock(&m_mutex);
    ++m_counts.saved;
    noteFile(file);
}

void PageTally::documentSaved(const QString &file, int pages)
{
    QMutexLocker lock(&m_mutex);
    // A rewrite that holds fewer pages never happens; a failed one is not reported here.
    m_counts.saved = std::max(m_counts.saved, pages);
    noteFile(file);
}

void PageTally::noteFile(const QString &file)
{
    if (m_counts.firstFile.isEmpty())
        m_counts.firstFile = file;
}

void PageTally::pageFailed()
{
    QMutexLocker lock(&m_mutex);
    ++m_counts.failedPages;
}

void PageTally::pageSkipped()
{
    QMutexLocker lock(&m_mutex);
    ++m_counts.skipped;
}

void PageTally::saveFailed(const QString &folder, int pages)
{
    QMutexLocker lock(&m_mutex);
    m_counts.failedSaves += pages;
    m_counts.failedFolder = folder;
}

PageTally::Counts PageTally::counts() const
{
    QMutexLocker lock(&m_mutex);
    return m_counts;
}
