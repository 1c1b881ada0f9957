#include "imaging/PdfFileCheck.h"

#include <QFile>

bool PdfFileCheck::isComplete(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16)
        return false;
    if (!file.read(5).startsWith("%PDF-"))
        return false;
    const qint64 tail = 64;
    if (!file.seek(qMax<qint64>(0, file.size() - tail)))
        return false;
    return file.read(tail).contains("%%EOF");
}
