#pragma once

#include "pages/FileCommit.h"
#include "pages/PageSource.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The files that saving a set of pages into one folder produces in one of the output formats:
// one file per page named after the page, or, for the merged and the searchable PDF and OFD,
// one file of all pages named after the first page. Pages without pixels have nothing to write and
// get no file.
class PageExport
{
public:
    struct Page
    {
        QString name;
        PageSource source;
    };

    // One file to write: its name, the format it is written in, and the pages it holds (one,
    // or every page for the merged and the searchable PDF). The pages are fetched only as the file
    // is written, on any thread; they stay readable while the file is there, also if the store is
    // cleared.
    struct File
    {
        QString target;
        int format;
        QList<PageSource> pages;
        // The searchable PDF's or OFD's recognition languages, as Tesseract names them.
        QString languages = QStringLiteral("chi_sim+eng");
    };

    // `languages`: those of the searchable PDF or OFD, as Tesseract names them; empty for the
    // default.
    PageExport(const QString &folder, int saveType, const QList<Page> &pages,
               const QString &languages = QString());

    // The pages of the page store in store order (their pixels stay on disk until written),
    // without the blank pages the run skipped, but for page `alsoSkipped`.
    static QList<Page> storePages(int alsoSkipped = -1);
    // The store's pages `indexes`, in that order, likewise.
    static QList<Page> orderedPages(const QList<int> &indexes, int alsoSkipped = -1);

    // The files in page order (a single one for the merged PDFs; none for an index that is no
    // format).
    QList<File> files() const;
    // Their names.
    QStringList targets() const;
    // The first of targets() that already exists, or an empty text.
    QString firstExistingTarget() const;

    // What writing a searchable PDF tells and asks its caller while the text is recognised.
    struct Watch
    {
        std::function<void(int done, int total)> progress; // after each page
        std::function<bool()> stop; // asked now and then: true stops the recognition
    };

    // Writes `file` into `out`, a new file the caller commits to the file's target. Returns
    // false when nothing complete was written. A searchable PDF or OFD recognises its pages on a
    // worker per core; stopped, it still writes every page, those not recognised yet without text.
    static bool write(const File &file, FileCommit &out, const Watch &watch = Watch());

private:
    QString targetOf(const QString &pageName) const;

    QString m_folder;
    int m_saveType;
    QList<Page> m_pages;
    QString m_languages;
};
