#include "preview/PageSaveThread.h"

#include <QFileInfo>
#include <QMutexLocker>

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

PageSaveThread::Commit PageSaveThread::commit(FileCommit &out, QString *written)
{
    QMutexLocker lock(&m_mutex);
    if (m_finish) {
        out.discard();
        return Commit::Cancelled;
    }
    // A file that is not the operator's own (a link, another user's file) is never replaced,
    // nor is any file the operator chose to keep: the page then takes the next free name.
    return out.commit(m_overwrite ? FileCommit::ReplaceOwnOrFree : FileCommit::KeepOrFree, written)
               ? Commit::Done
               : Commit::Failed;
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
        FileCommit out(file.target);
        PageExport::Watch watch;
        watch.progress = [this](int done, int pages) { emit UpdateRecognition(done, pages); };
        watch.stop = [this] { return finishRequested(); };
        if (!out.isOpen() || !PageExport::write(file, out, watch)) {
            failed.append(file.target);
            continue;
        }
        QString written;
        const Commit result = commit(out, &written);
        if (result == Commit::Done) {
            // The pages are in a file of the operator's now: a page store left by a console
            // that died says so, and a new scan does not ask to keep them.
            for (const PageSource &page : file.pages)
                page.markSaved();
            emit FileWritten(written);
        }
        if (result == Commit::Cancelled) {
            emit SaveFinished(failed, true);
            return;
        }
        if (result == Commit::Failed)
            failed.append(file.target);
    }
    emit SaveFinished(failed, false);
}
