#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One line of the work log "./logFiles/logs.txt": how it is written and how it is read back.
// Six fields, each followed by one blank: user, path, scanner, a fixed "Unknown", time, status.
// Only the path may itself contain blanks (a folder or document name with spaces).
class LogRecord
{
public:
    QString user;
    QString path;
    QString scanner;
    QString fixed;
    QString time;
    QString status;

    // How a scan job ended: every page it collected saved (a preview: collected), none or the
    // run failed, or the operator cancelled it; or every page saved into a searchable PDF whose
    // text recognition the operator stopped (written "Success-TextCancelled": one field still).
    enum Result
    {
        Success,
        Fail,
        Cancel,
        SuccessTextCancelled
    };
    static const char *resultText(Result result);

    // The whole line, ending with the last field's blank and a line feed. `user` is written as
    // stored, the path in the local 8-bit encoding, the time as "yyyy-MM-dd,hh:mm:ss".
    static QByteArray format(const QByteArray &user, const QString &path, const QDateTime &when,
                             Result result);

    // Reads a line back by its fields: the user up to the first blank, the last four fields from
    // the right, the path is what lies between. A line with fewer fields fills them from the
    // left and leaves the rest empty. Every field is decoded as UTF-8.
    static LogRecord parse(const QByteArray &line);

    // True for a line that holds nothing but white space (skipped by the viewer).
    static bool isBlank(const QByteArray &line);

    // The document the record names: folder, "/", document name and the format's suffix.
    static QString documentPath(const QString &savePath, const QString &name, int saveType);

    // The user field: the login name, or the numeric user id when the user database has none.
    static QByteArray userField(const char *loginName, unsigned int uid);

    static QString timeText(const QDateTime &when);
};
