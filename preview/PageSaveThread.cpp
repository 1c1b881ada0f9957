#include "preview/PageSaveThread.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QTemporaryFile>

#include <cstdio>

namespace {

// A free hidden name beside `target` with the same suffix (the image formats take their encoder
// from it), or an empty text when the folder cannot take a file.
QString stagingName(const QString &target)
{
    const QFileInfo info(target);
    QTemporaryFile probe(info.absolutePath() + QStringLiteral("/.") + info.completeBaseName() +
                         QStringLiteral(".XXXXXX.") + info.suffix());
    if (!probe.open())
        return QString();
    // Removed again when `probe` ends: the writers create the file afresh, with the ordinary
    // permissions rather than the private ones of a temporary file.
    return probe.fileName();
}

} // namespace

PageSaveThread::PageSaveThread(const QList<PageExport::File> &files, bool overwrite)
    : m_files(files), m_overwrite(overwrite), m_finish(false)
{
}

PageSaveThread::~PageSaveThread()
{
    Finish();
    wait();
}

void PageSaveThread::Finish()
{
    QMutexLocker lock(&m_mutex);
    m_finish = true;
}

bool PageSaveThread::finishRequested()
{
    QMutexLocker lock(&m_mutex);
    return m_finish;
}

PageSaveThread::Commit PageSaveThread::commit(const QString &staged, const QString &target)
{
    QMutexLocker lock(&m_mutex);
    if (m_finish) {
        QFile::remove(staged);
        return Commit::Cancelled;
    }
    // A replaced file keeps its permissions, as a file rewritten in place would.
    if (QFileInfo::exists(target))
        QFile::setPermissions(staged, QFile::permissions(target));
    // rename(2) replaces the target at once; a failure (the target is a folder) leaves it.
    if (std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(target).constData()) !=
        0) {
        QFile::remove(staged);
        return Commit::Failed;
    }
    return Commit::Done;
}

void PageSaveThread::run()
{
    QStringList failed;
    const int total = m_files.size();
    for (int i = 0; i < total; ++i) {
        if (finishRequested()) {
            emit SaveFinished(failed, true);
            return;
        }
        emit UpdateProgress(i + 1, total);
        const PageExport::File &file = m_files.at(i);
        if (!m_overwrite && QFileInfo::exists(file.target))
            continue;
        const QString staged = stagingName(file.target);
        PageExport::Watch watch;
        watch.progress = [this](int done, int pages) { emit UpdateRecognition(done, pages); };
        watch.stop = [this] { return finishRequested(); };
        if (staged.isEmpty() || !PageExport::write(file, staged, watch)) {
            if (!staged.isEmpty())
                QFile::remove(staged);
            failed.append(file.target);
            continue;
        }
        const Commit result = commit(staged, file.target);
        if (result == Commit::Cancelled) {
            emit SaveFinished(failed, true);
            return;
        }
        if (result == Commit::Failed)
            failed.append(file.target);
    }
    emit SaveFinished(failed, false);
}
