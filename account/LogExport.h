#pragma once

#include <QString>

class QWidget;

// The export-log command of the main window: administrator login, then a copy of the work log
// to a file of the operator's choice.
class LogExport
{
public:
    // Runs the whole command; `parent` is the window the save-file dialog belongs to.
    static void run(QWidget *parent);

    // Copies `source` to `target` through a temporary file beside the target, which replaces
    // the target only once the copy is complete; on failure an existing target is left as it was.
    static bool copyReplacing(const QString &source, const QString &target);

    static QString logFilePath();
};
