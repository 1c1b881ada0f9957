#include "preview/PageExport.h"

#include "documents/OfdWriter.h"
#include "documents/PageWriter.h"
#include "documents/PdfPageWriter.h"
#include "documents/SearchablePdfJob.h"
#include "pages/ImageManager.h"
#include "settings/OcrLanguages.h"
#include "settings/SaveFormat.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

PageExport::PageExport(const QString &folder, int saveType, const QList<Page> &pages,
                       const QString &languages)
    : m_folder(folder), m_saveType(saveType), m_pages(pages),
      m_languages(languages.isEmpty() ? OcrLanguages::defaultValue() : languages)
{
}

QList<PageExport::Page> PageExport::storePages(int alsoSkipped)
{
    QList<int> all;
    for (int i = 0, n = ImageManager::Instance()->count(); i < n; ++i)
        all << i;
    return orderedPages(all, alsoSkipped);
}

QList<PageExport::Page> PageExport::orderedPages(const QList<int> &indexes, int alsoSkipped)
{
    ImageManager *store = ImageManager::Instance();
    QList<Page> pages;
    for (int i : indexes) {
        const ImageObject *record = store->at(i);
        if (record && (!record->skipped || i == alsoSkipped))
            pages.append({record->name, store->sourceAt(i)});
    }
    return pages;
}

QString PageExport::targetOf(const QString &pageName) const
{
    return m_folder + QStringLiteral("/") + pageName + SaveFormat::suffix(m_saveType);
}

QList<PageExport::File> PageExport::files() const
{
    QList<File> files;
    if (!SaveFormat::isFormat(m_saveType))
        return files;
    if (SaveFormat::isMerged(m_saveType)) {
        File merged{QString(), m_saveType, {}, m_languages};
        for (const Page &page : m_pages) {
            if (!page.source.isNull())
                merged.pages.append(page.source);
        }
        if (!merged.pages.isEmpty()) {
            merged.target = targetOf(m_pages.first().name);
            files.append(merged);
        }
        return files;
    }
    for (const Page &page : m_pages) {
        if (!page.source.isNull())
            files.append({targetOf(page.name), m_saveType, {page.source}, m_languages});
    }
    return files;
}

QStringList PageExport::targets() const
{
    QStringList names;
    for (const File &file : files())
        names.append(file.target);
    return names;
}

QString PageExport::firstExistingTarget() const
{
    for (const QString &target : targets()) {
        if (QFileInfo::exists(target))
            return target;
    }
    return QString();
}

namespace {

bool writeSearchable(const QList<PageSource> &pages, int format, const QString &languages,
                     FileCommit &out, const PageExport::Watch &watch)
{
    // The job writes into a private folder; the finished document is then copied into `out`,
    // so the caller decides alone whether and where it is put in place.
    QTemporaryDir work;
    if (!work.isValid())
        return false;
    SearchablePdfJob job(work.filePath(QStringLiteral("document") + SaveFormat::suffix(format)),
                         QThread::idealThreadCount(), languages);
    bool written = false;
    // Called on the job's workers: only the caller's progress, which reports by signal.
    QObject::connect(&job, &SearchablePdfJob::Progress, [&watch](int done, int total) {
        if (watch.progress)
            watch.progress(done, total);
    });
    QObject::connect(&job, &SearchablePdfJob::Finished,
                     [&written](bool ok, int, int) { written = ok; });
    if (watch.progress)
        watch.progress(0, pages.size());
    for (const PageSource &page : pages) {
        if (!job.addPage(page))
            job.cancel(); // a page missing: no file, so no need for its text
    }
    const bool complete = job.pageCount() == pages.size();
    job.finish();
    while (!job.wait(100)) {
        if (watch.stop && watch.stop())
            job.cancel();
    }
    if (!written || !complete)
        return false;
    QFile pdf(job.target());
    return pdf.open(QIODevice::ReadOnly) && out.write(pdf.readAll());
}

} // namespace

bool PageExport::write(const File &file, FileCommit &out, const Watch &watch)
{
    if (file.format == SaveFormat::MergedPdf)
        return PdfPageWriter::write(file.pages, out);
    if (file.format == SaveFormat::MergedOfd)
        return OfdWriter::write(OfdWriter::pages(file.pages), out);
    if (SaveFormat::isSearchable(file.format))
        return writeSearchable(file.pages, file.format, file.languages, out, watch);
    return file.pages.size() == 1 && PageWriter::write(file.pages.first(), file.format, out);
}
