// log/: the work log, its records in the file and the system journal, and its viewer.

#pragma once

#include "log/LogRecord.h"

#include <QString>

// Appends to the work log in "./logFiles" under the current working directory, never through a
// link and only to a regular file of the operator's own. Failures are silent: a folder that
// cannot be made or a file that cannot be opened skips the record. Each scan job's record also
// goes to the system journal (JournalRecord).
class LogOutput
{
public:
    LogOutput() = delete;

    // One record for a finished scan job: its result, `documentPath`, the file the job really
    // wrote (empty when it wrote none), and the `pages` it kept (in the journal's record).
    static void WriteFile(LogRecord::Result result, const QString &documentPath, int pages = 0);
    // One record naming the record's configured document: "Success" or "Fail".
    static void WriteFile(bool success);
    // Appends `text` (UTF-8) and a line feed to the log file named by log_file_name, which
    // becomes today's "yyyy-MM-dd.txt" when it is still empty.
    static void WriteFile(QString text);

    // The login name of the process's real user, or its numeric id when it has none.
    static QByteArray currentUser();
};
