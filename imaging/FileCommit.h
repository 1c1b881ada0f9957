#pragma once

#include <QByteArray>
#include <QString>

// Puts a file's complete content in place whole or not at all.
class FileCommit
{
public:
    // Writes `bytes` with one checked write to a temporary file beside `target`, flushes it and
    // renames it over `target`, so an existing file survives any failure (a full disk, a file
    // size limit, a missing or unwritable folder). Nothing is written for empty `bytes` (a
    // failed encoding). Returns true when `target` holds `bytes`.
    static bool write(const QByteArray &bytes, const QString &target);
};
