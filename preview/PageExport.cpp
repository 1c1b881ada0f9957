#include "preview/PageExport.h"

#include "imaging/ImageManager.h"
#include "imaging/PageWriter.h"
#include "imaging/PdfPageWriter.h"
#include "imaging/SaveFormat.h"

#include <QFileInfo>

PageExport::PageExport(const QString &folder, int saveType, const QList<Page> &pages)
    : m_folder(folder), m_saveType(saveType), m_pages(pages)
{
}

QList<PageExport::Page> PageExport::storePages()
{
    ImageManager *store = ImageManager::Instance();
    QList<Page> pages;
    const int count = store->count();
    for (int i = 0; i < count; ++i) {
        if (const ImageObject *record = store->at(i))
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
    if (m_saveType == SaveFormat::MergedPdf) {
        File merged{QString(), m_saveType, {}};
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
            files.append({targetOf(page.name), m_saveType, {page.source}});
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

bool PageExport::write(const File &file, const QString &path)
{
    if (file.format == SaveFormat::MergedPdf)
        return PdfPageWriter::write(file.pages, path);
    return file.pages.size() == 1 && PageWriter::write(file.pages.first(), file.format, path);
}
