#pragma once

#include <QDir>
#include <QImage>
#include <QString>

// Leaves scanned pages as JPEG files where the console collects them. The output path "-f"
// names the folder and the stem: "/tmp/tempimages/tempImage.jpg" gives "tempImage-000001.jpg",
// "tempImage-000002.jpg", ... Each page is written completely under the hidden temporary name
// ".tempImage-NNNNNN.part" and then renamed, so a ".jpg" name is only ever seen on a complete
// page. Numbering goes on after the highest number already in the folder, so pages an earlier
// run left behind keep their place in front of the new ones. Files are created new (never
// through a link, never over an existing file) and readable by their owner alone; a page is
// not started when it would leave less than the space kept free on the folder's file system.
class PageFileWriter
{
public:
    explicit PageFileWriter(const QString &outputPath);

    // Space left free on the folder's file system (0: none kept).
    void setKeepFree(qint64 bytes) { m_keepFree = bytes; }

    // Creates the folder if needed and checks that a file can be created in it and that more
    // than the space kept free is free; call once before the first page. False with the
    // reason in `error` otherwise.
    bool prepare(QString *error);
    // Writes the next page at `dpi`; its final path in `finalPath`. False with the reason in
    // `error` when it could not be written completely (nothing is left behind then).
    bool write(const QImage &page, int dpi, QString *finalPath, QString *error);

    // Writes the run's note beside the pages, "<stem>.scan" (written whole, then renamed over an
    // earlier one); the console reads it when the program has ended.
    bool writeNote(const QByteArray &text, QString *error);

    int pagesWritten() const { return m_written; }

private:
    QString pathFor(const QString &pattern, int number) const;
    bool writeFile(const QString &path, const QByteArray &bytes, QString *error) const;
    // False, with the system's own words for ENOSPC in `error`, when `bytes` more would leave
    // less than the space kept free.
    bool hasRoom(qint64 bytes, const QString &what, QString *error) const;

    QDir m_dir;
    QString m_stem;
    int m_nextNumber = 1;
    int m_written = 0;
    qint64 m_keepFree = 0;
};
