#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

// Writes a set of pages into one folder in one of the output formats: one file per page named
// after the page, or, for the merged PDF, one file of all pages named after the first page.
// Pages without pixels have nothing to write and get no file.
class PageExport
{
public:
    struct Page
    {
        QString name;
        QImage image;
    };

    PageExport(const QString &folder, int saveType, const QList<Page> &pages);

    // The files the export writes, in page order (a single one for the merged PDF; none for an
    // index that is no format).
    QStringList targets() const;
    // The first of targets() that already exists, or an empty text.
    QString firstExistingTarget() const;
    // Writes every target; one that already exists only when `overwrite` is set. Returns the
    // targets that could not be written, in order.
    QStringList write(bool overwrite) const;

private:
    QString targetOf(const QString &pageName) const;

    QString m_folder;
    int m_saveType;
    QList<Page> m_pages;
};
