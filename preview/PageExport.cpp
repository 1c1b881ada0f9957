#include "preview/PageExport.h"

#include "imaging/PageWriter.h"
#include "imaging/PdfPageWriter.h"
#include "imaging/SaveFormat.h"

#include <QFileInfo>

PageExport::PageExport(const QString &folder, int saveType, const QList<Page> &pages)
    : m_folder(folder), m_saveType(saveType), m_pages(pages)
{
}

QString PageExport::targetOf(const QString &pageName) const
{
    return m_folder + QStringLiteral("/") + pageName + SaveFormat::suffix(m_saveType);
}

QStringList PageExport::targets() const
{
    QStringList files;
    if (!SaveFormat::isFormat(m_saveType) || m_pages.isEmpty())
        return files;
    if (m_saveType == SaveFormat::MergedPdf) {
        for (const Page &page : m_pages) {
            if (!page.image.isNull()) {
                files.append(targetOf(m_pages.first().name));
                break;
            }
        }
        return files;
    }
    for (const Page &page : m_pages) {
        if (!page.image.isNull())
            files.append(targetOf(page.name));
    }
    return files;
}

QString PageExport::firstExistingTarget() const
{
    const QStringList files = targets();
    for (const QString &file : files) {
        if (QFileInfo::exists(file))
            return file;
    }
    return QString();
}

QStringList PageExport::write(bool overwrite) const
{
    QStringList failed;
    if (!SaveFormat::isFormat(m_saveType))
        return failed;

    if (m_saveType == SaveFormat::MergedPdf) {
        const QStringList files = targets();
        if (files.isEmpty() || (!overwrite && QFileInfo::exists(files.first())))
            return failed;
        QList<QImage> images;
        for (const Page &page : m_pages)
            images.append(page.image);
        if (!PdfPageWriter::writeMerged(images, files.first()))
            failed.append(files.first());
        return failed;
    }

    for (const Page &page : m_pages) {
        if (page.image.isNull())
            continue;
        const QString target = targetOf(page.name);
        if (!overwrite && QFileInfo::exists(target))
            continue;
        if (!PageWriter::write(page.image, m_saveType, target))
            failed.append(target);
    }
    return failed;
}
