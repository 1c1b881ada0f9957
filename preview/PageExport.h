#pragma once

#include <QImage>
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
        QImage image;
    };

    // One file to write: its name, the format it is written in, and the page images it holds
    // (one, or every page for the merged PDF). The images are the file's own copies, so a file
    // can be written on any thread while the pages change in the store.
    struct File
    {
        QString target;
        int format;
        QList<QImage> images;
    };

    PageExport(const QString &folder, int saveType, const QList<Page> &pages);

    // The pages of the page store in store order, with copies of their images.
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
