#include "tests/support/SavedFiles.h"

#include "pages/PageResolution.h"
#include "tests/support/PdfFiles.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>

#include <zip.h>

namespace SavedFiles {

QList<Entry> unzip(const QString &path)
{
    QList<Entry> entries;
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    for (zip_int64_t i = 0; archive && i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, zip_uint64_t(i), 0, &stat);
        QByteArray bytes(int(stat.size), '\0');
        zip_file_t *file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        const bool read =
            file && zip_fread(file, bytes.data(), stat.size) == zip_int64_t(stat.size);
        if (file)
            zip_fclose(file);
        entries.append({QString::fromUtf8(stat.name), read ? bytes : QByteArray(),
                        stat.comp_method == ZIP_CM_STORE});
    }
    if (archive)
        zip_close(archive);
    return entries;
}

QByteArray entry(const QString &path, const QString &name)
{
    for (const Entry &e : unzip(path)) {
        if (e.name == name)
            return e.bytes;
    }
    return QByteArray();
}

QList<Page> pages(const QString &file)
{
    QList<Page> result;
    if (file.endsWith(QLatin1String(".pdf"))) {
        for (const PdfFiles::Page &p : PdfFiles::pages(file))
            result.append({p.pixels, QPointF(p.pixels.width() * 72.0 / p.box.width(),
                                             p.pixels.height() * 72.0 / p.box.height())});
    } else if (file.endsWith(QLatin1String(".ofd"))) {
        const QList<Entry> entries = unzip(file);
        const QRegularExpression box(QStringLiteral("PhysicalBox>0 0 ([0-9.]+) ([0-9.]+)<"));
        for (int i = 0;; ++i) {
            QByteArray content, jpeg;
            for (const Entry &e : entries) {
                if (e.name == QStringLiteral("Doc_0/Pages/Page_%1/Content.xml").arg(i))
                    content = e.bytes;
                if (e.name == QStringLiteral("Doc_0/Res/Image_%1.jpg").arg(i))
                    jpeg = e.bytes;
            }
            const QRegularExpressionMatch mm = box.match(QString::fromUtf8(content));
            const QSize pixels = QImage::fromData(jpeg).size();
            if (!mm.hasMatch() || pixels.isEmpty())
                break;
            result.append({pixels, QPointF(pixels.width() * 25.4 / mm.captured(1).toDouble(),
                                           pixels.height() * 25.4 / mm.captured(2).toDouble())});
        }
    } else {
        const QImage image(file);
        if (!image.isNull())
            result.append({image.size(), PageResolution::dpi(image)});
    }
    return result;
}

} // namespace SavedFiles
