#pragma once

#include "log/LogRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Every work-log record also goes to the system journal, where operators cannot rewrite it and
// an office's log collection already looks. Its structured fields:
//   MESSAGE            "Scan Success: 3 page(s), /home/op/Scans/Image-....jpg (op)"
//   PRIORITY           6 (information) for a success, 4 (warning) otherwise
//   SYSLOG_IDENTIFIER  veldrin-scan
//   SCAN_RESULT        the work log's status field (Success, Fail, Cancel, ...)
//   SCAN_PAGES         the pages the run kept
//   SCAN_DOCUMENT      the first file the run wrote (empty when none)
//   SCAN_OPERATOR      the work log's user field
// The journal adds the sender's own user id (_UID) itself, beyond the console's reach.
class JournalRecord
{
public:
    // The fields as "NAME=value" entries, in the order above.
    static QList<QByteArray> fields(LogRecord::Result result, int pages, const QString &document,
                                    const QByteArray &user);
    // Sends them to the journal (sd_journal_sendv). False when no journal took them (none runs,
    // as in a container); the work log is written all the same.
    static bool send(const QList<QByteArray> &fields);
};
