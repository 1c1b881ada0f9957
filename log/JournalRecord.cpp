#include "log/JournalRecord.h"

// The record says where it comes from in its own fields, not by our source file and line.
#define SD_JOURNAL_SUPPRESS_LOCATION
#include <systemd/sd-journal.h>

#include <vector>

QList<QByteArray> JournalRecord::fields(LogRecord::Result result, int pages,
                                        const QString &document, const QByteArray &user)
{
    const QByteArray status = LogRecord::resultText(result);
    const QByteArray path = document.toUtf8();
    const QByteArray message = "Scan " + status + ": " + QByteArray::number(pages) + " page(s)" +
                               (path.isEmpty() ? QByteArray() : ", " + path) + " (" + user + ")";
    const bool success = result == LogRecord::Success || result == LogRecord::SuccessTextCancelled;
    return {"MESSAGE=" + message,
            "PRIORITY=" + QByteArray(success ? "6" : "4"),
            "SYSLOG_IDENTIFIER=veldrin-scan",
            "SCAN_RESULT=" + status,
            "SCAN_PAGES=" + QByteArray::number(pages),
            "SCAN_DOCUMENT=" + path,
            "SCAN_OPERATOR=" + user};
}

bool JournalRecord::send(const QList<QByteArray> &fields)
{
    // A value may hold any byte, a line feed too (a folder name may): the native protocol of
    // sd_journal_sendv carries it as it is.
    std::vector<struct iovec> entries;
    entries.reserve(size_t(fields.size()));
    for (const QByteArray &field : fields)
        entries.push_back({const_cast<char *>(field.constData()), size_t(field.size())});
    return sd_journal_sendv(entries.data(), int(entries.size())) == 0;
}
