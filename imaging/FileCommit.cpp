#include "imaging/FileCommit.h"

#include <QSaveFile>

bool FileCommit::write(const QByteArray &bytes, const QString &target)
{
    if (bytes.isEmpty())
        return false;
    // The commit does not check its own last flush, so the flush comes first: a failure the
    // disk reports only then still keeps the old file.
    QSaveFile file(target);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() &&
           file.commit();
}
