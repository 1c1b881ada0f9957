#pragma once

#include "log/LogRecord.h"

#include <QString>

// Appends to the work log in "./logFiles" under the current working directory. Failures are
// silent: a folder that cannot be made or a file that cannot be opened skips the record.
class LogOutput
{
public:
    LogOutput() = delete;

    // One record for a finished scan job: its result and `documentPath`, the file the job
    // really wrote (empty when it wrote none).
    static void WriteFile(LogRecord::Result result, const QString &documentPath);
    // One record naming the record's configured document: "Success" or "Fail".
    static void WriteFile(bool success);
    // Appends `text` (UTF-8) and a line feed to the log file named by log_file_name, which
    // becomes today's "yyyy-MM-dd.txt" when it is still empty.
    static void WriteFile(QString text);

    // The login name of the process's real user, or its numeric id when it has none.
    static QByteArray currentUser();
};
