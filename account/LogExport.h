#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

// The export-log command of the main window: administrator login, then a copy of the work log
// to a file of the operator's choice.
class LogExport
{
public:
    // Runs the whole command; `parent` is the window the save-file dialog belongs to.
    static void run(QWidget *parent);

    // The largest work log the export copies.
    static constexpr qint64 MaxLogBytes = qint64(1) << 30;

    // Copies `source` (a regular file, not a link) to `target` through a new file beside the
    // target (FileCommit), which takes its name only once the copy is complete and replaces only
    // the operator's own regular file; on failure an existing target is left as it was.
    static bool copyReplacing(const QString &source, const QString &target);

    static QString logFilePath();
};
