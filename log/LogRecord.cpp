#include "log/LogRecord.h"

#include "settings/SaveFormat.h"

namespace {

bool isWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The line without its line end and the blank that closes the last field.
QByteArray body(const QByteArray &line)
{
    int end = line.size();
    while (end > 0 && isWhite(line.at(end - 1)))
        --end;
    return line.left(end);
}

QString text(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes);
}

} // namespace

const char *LogRecord::resultText(Result result)
{
    switch (result) {
    case Success:
        return "Success";
    case Cancel:
        return "Cancel";
    case SuccessTextCancelled:
        return "Success-TextCancelled";
    case Fail:
        break;
    }
    return "Fail";
}

QByteArray LogRecord::format(const QByteArray &user, const QString &path, const QDateTime &when,
                             Result result)
{
    QByteArray line;
    line += user;
    line += ' ';
    line += path.toLocal8Bit();
    line += ' ';
    line += "TX7700-Series";
    line += ' ';
    line += "Unknown";
    line += ' ';
    line += timeText(when).toLatin1();
    line += ' ';
    line += resultText(result);
    line += ' ';
    line += '\n';
    return line;
}

LogRecord LogRecord::parse(const QByteArray &line)
{
    LogRecord record;
    const QByteArray b = body(line);
    if (b.isEmpty())
        return record;

    if (b.count(' ') >= 5) {
        // At least five separators: the four last fields never hold a blank, so everything
        // between the user and the scanner is the path, blanks and all (even when empty).
        const int first = b.indexOf(' ');
        const int p5 = b.lastIndexOf(' ');
        const int p4 = b.lastIndexOf(' ', p5 - 1);
        const int p3 = b.lastIndexOf(' ', p4 - 1);
        const int p2 = b.lastIndexOf(' ', p3 - 1);
        record.user = text(b.left(first));
        record.path = text(b.mid(first + 1, p2 - first - 1));
        record.scanner = text(b.mid(p2 + 1, p3 - p2 - 1));
        record.fixed = text(b.mid(p3 + 1, p4 - p3 - 1));
        record.time = text(b.mid(p4 + 1, p5 - p4 - 1));
        record.status = text(b.mid(p5 + 1));
        return record;
    }

    // A short line (a record cut off while being written): fields in order, the rest empty.
    const QList<QByteArray> parts = b.split(' ');
    QString *fields[] = {&record.user,  &record.path, &record.scanner,
                         &record.fixed, &record.time, &record.status};
    for (int i = 0; i < parts.size() && i < 6; ++i)
        *fields[i] = text(parts.at(i));
    return record;
}

bool LogRecord::isBlank(const QByteArray &line)
{
    return body(line).isEmpty();
}

QString LogRecord::documentPath(const QString &savePath, const QString &name, int saveType)
{
    return savePath + QLatin1Char('/') + name + SaveFormat::suffix(saveType);
}

QByteArray LogRecord::userField(const char *loginName, unsigned int uid)
{
    if (loginName && *loginName)
        return QByteArray(loginName);
    return QByteArray::number(uid);
}

QString LogRecord::timeText(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyy-MM-dd,hh:mm:ss"));
}
