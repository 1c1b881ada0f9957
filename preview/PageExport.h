#pragma once

#include "imaging/PageSource.h"

#include <QList>
#include <QString>
#include <QStringList>

// The files that saving a set of pages into one folder produces in one of the output formats:
// one file per page named after the page, or, for the merged PDF, one file of all pages named
// after the first page. Pages without pixels have nothing to write and get no file.
class PageExport
{
public:
    struct Page
    {
        QString name;
        PageSource source;
    };

    // One file to write: its name, the format it is written in, and the pages it holds (one,
    // or every page for the merged PDF). The pages are fetched only as the file is written, on
    // any thread; they stay readable while the file is there, also if the store is cleared.
    struct File
    {
        QString target;
        int format;
        QList<PageSource> pages;
    };

    PageExport(const QString &folder, int saveType, const QList<Page> &pages);

    // The pages of the page store in store order (their pixels stay on disk until written).
    static QList<Page> storePages();

    // The files in page order (a single one for the merged PDF; none for an index that is no
    // format).
    QList<File> files() const;
    // Their names.
    QStringList targets() const;
    // The first of targets() that already exists, or an empty text.
    QString firstExistingTarget() const;

    // Writes `file` under the name `path` (whose suffix must be that of the file's target: the
    // image formats take the encoder from it). Returns false when nothing complete was written.
    static bool write(const File &file, const QString &path);

private:
    QString targetOf(const QString &pageName) const;

    QString m_folder;
    int m_saveType;
    QList<Page> m_pages;
};
