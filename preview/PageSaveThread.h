#pragma once

#include "preview/PageExport.h"

#include <QMutex>
#include <QStringList>
#include <QThread>

// Writes a list of files off the GUI thread, one after the other. Each file is written as a new
// file in its folder and takes its target's name only when complete (FileCommit), so a file is
// either whole or absent, and never written through a link or over another user's file. Finish()
// stops the run between files: the file being written when it comes is discarded, the files already
// in place stay, and no later file is started. A searchable PDF, whose pages take seconds each to
// recognise, also stops in the middle and is discarded.
class PageSaveThread : public QThread
{
    Q_OBJECT

public:
    // `overwrite` clear: a target that already exists is left as it is. Set: an existing target
    // is replaced when it is the operator's own regular file; anything else there (a link,
    // another user's file) makes the page take the next free name ("<name>-1.jpg").
    PageSaveThread(const QList<PageExport::File> &files, bool overwrite);
    // Stops the run and waits for it: the thread never outlives its object.
    ~PageSaveThread() override;

    // Asks the run to stop. Once this returns, no further file is put in place.
    void Finish();

signals:
    // File `number` (from 1) of `total` is being written.
    void UpdateProgress(int number, int total);
    // In a searchable PDF: `done` of its `total` pages recognised.
    void UpdateRecognition(int done, int total);
    // A file is in place under `path`: its target, or the next free name.
    void FileWritten(const QString &path);
    // The run has ended: the targets that could not be written, and whether it was stopped.
    void SaveFinished(const QStringList &failed, bool cancelled);

protected:
    void run() override;

private:
    enum class Commit
    {
        Done,
        Failed,
        Cancelled
    };
    bool finishRequested();
    // Puts `out` in place (under `written`) unless a stop was asked for; its new file never
    // remains otherwise.
    Commit commit(FileCommit &out, QString *written);

    const QList<PageExport::File> m_files;
    const bool m_overwrite;
    // Makes the stop test and the rename one step, so Finish() has a clear before and after.
    QMutex m_mutex;
    bool m_finish;
};
