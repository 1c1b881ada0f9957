#include "documents/OfdWriter.h"

#include "pages/FileCommit.h"
#include "pages/ImageEncoder.h"
#include "pages/PageResolution.h"

#include <QUuid>
#include <QXmlStreamWriter>

#include <zip.h>

#include <limits>
#include <memory>

namespace {

const QString kNamespace = QStringLiteral("http://www.ofdspec.org/2016");

// Millimetres with at most three decimals, without trailing zeros ("210", "209.973").
QString mm(double value)
{
    QString text = QString::number(value, 'f', 3);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text;
}

QString box(const QSizeF &size)
{
    return QStringLiteral("0 0 %1 %2").arg(mm(size.width()), mm(size.height()));
}

QSizeF pageSize(const OfdWriter::Page &page)
{
    return PageResolution::millimetres(page.pixels, page.dpi);
}

// One XML part: UTF-8, the "ofd" prefix bound on the root element.
class Part
{
public:
    explicit Part(const QString &root) : m_xml(&m_bytes)
    {
        m_xml.setAutoFormatting(true);
        m_xml.writeStartDocument();
        m_xml.writeNamespace(kNamespace, QStringLiteral("ofd"));
        m_xml.writeStartElement(kNamespace, root);
    }
    Part &open(const QString &name)
    {
        m_xml.writeStartElement(kNamespace, name);
        return *this;
    }
    Part &attribute(const QString &name, const QString &value)
    {
        m_xml.writeAttribute(name, value);
        return *this;
    }
    Part &text(const QString &name, const QString &value)
    {
        m_xml.writeTextElement(kNamespace, name, value);
        return *this;
    }
    Part &close()
    {
        m_xml.writeEndElement();
        return *this;
    }
    QByteArray finish()
    {
        m_xml.writeEndDocument();
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    QXmlStreamWriter m_xml;
};

// The identifiers of one page's objects, unique within the document.
struct PageIds
{
    uint page, media, layer, image;
};

QByteArray ofdXml(const OfdWriter::Info &info)
{
    const QString docId =
        info.docId.isEmpty() ? QUuid::createUuid().toString(QUuid::Id128) : info.docId;
    const QDate date = info.creationDate.isValid() ? info.creationDate : QDate::currentDate();
    const QString creator =
        info.creator.isEmpty() ? QStringLiteral("Veldrin Scan " SCANCONSOLE_VERSION) : info.creator;
    Part part(QStringLiteral("OFD"));
    part.attribute(QStringLiteral("Version"), QStringLiteral("1.0"))
        .attribute(QStringLiteral("DocType"), QStringLiteral("OFD"))
        .open(QStringLiteral("DocBody"))
        .open(QStringLiteral("DocInfo"))
        .text(QStringLiteral("DocID"), docId)
        .text(QStringLiteral("CreationDate"), date.toString(Qt::ISODate))
        .text(QStringLiteral("Creator"), creator)
        .close()
        .text(QStringLiteral("DocRoot"), QStringLiteral("Doc_0/Document.xml"));
    return part.finish();
}

QByteArray documentXml(const QList<OfdWriter::Page> &pages, const QList<PageIds> &ids)
{
    Part part(QStringLiteral("Document"));
    part.open(QStringLiteral("CommonData"))
        .text(QStringLiteral("MaxUnitID"), QString::number(ids.last().image))
        .open(QStringLiteral("PageArea"))
        .text(QStringLiteral("PhysicalBox"), box(pageSize(pages.first())))
        .close()
        .text(QStringLiteral("PublicRes"), QStringLiteral("PublicRes.xml"))
        .text(QStringLiteral("DocumentRes"), QStringLiteral("DocumentRes.xml"))
        .close()
        .open(QStringLiteral("Pages"));
    for (int i = 0; i < pages.size(); ++i) {
        part.open(QStringLiteral("Page"))
            .attribute(QStringLiteral("ID"), QString::number(ids.at(i).page))
            .attribute(QStringLiteral("BaseLoc"),
                       QStringLiteral("Pages/Page_%1/Content.xml").arg(i))
            .close();
    }
    return part.finish();
}

QByteArray publicResXml()
{
    return Part(QStringLiteral("Res"))
        .attribute(QStringLiteral("BaseLoc"), QStringLiteral("Res"))
        .finish();
}

QByteArray documentResXml(const QList<PageIds> &ids)
{
    Part part(QStringLiteral("Res"));
    part.attribute(QStringLiteral("BaseLoc"), QStringLiteral("Res"))
        .open(QStringLiteral("MultiMedias"));
    for (int i = 0; i < ids.size(); ++i) {
        part.open(QStringLiteral("MultiMedia"))
            .attribute(QStringLiteral("ID"), QString::number(ids.at(i).media))
            .attribute(QStringLiteral("Type"), QStringLiteral("Image"))
            .attribute(QStringLiteral("Format"), QStringLiteral("JPEG"))
            .text(QStringLiteral("MediaFile"), QStringLiteral("Image_%1.jpg").arg(i))
            .close();
    }
    return part.finish();
}

QByteArray contentXml(const OfdWriter::Page &page, const PageIds &ids)
{
    const QSizeF size = pageSize(page);
    Part part(QStringLiteral("Page"));
    part.open(QStringLiteral("Area"))
        .text(QStringLiteral("PhysicalBox"), box(size))
        .close()
        .open(QStringLiteral("Content"))
        .open(QStringLiteral("Layer"))
        .attribute(QStringLiteral("ID"), QString::number(ids.layer))
        .open(QStringLiteral("ImageObject"))
        .attribute(QStringLiteral("ID"), QString::number(ids.image))
        .attribute(QStringLiteral("ResourceID"), QString::number(ids.media))
        .attribute(QStringLiteral("Boundary"), box(size))
        // An image is drawn into the unit square: the matrix stretches it over the page.
        .attribute(QStringLiteral("CTM"),
                   QStringLiteral("%1 0 0 %2 0 0").arg(mm(size.width()), mm(size.height())));
    return part.finish();
}

struct ZipDeleter
{
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
struct SourceDeleter
{
    void operator()(zip_source_t *source) const { zip_source_free(source); }
};

// A zip archive built in memory. The entries' bytes must live until close().
class MemoryZip
{
public:
    MemoryZip()
    {
        zip_error_t error;
        zip_error_init(&error);
        m_source.reset(zip_source_buffer_create(nullptr, 0, 0, &error));
        if (m_source) {
            zip_source_keep(m_source.get()); // still needed after the archive is closed
            m_archive.reset(zip_open_from_source(m_source.get(), ZIP_TRUNCATE, &error));
        }
        zip_error_fini(&error);
    }

    bool add(const QString &name, const QByteArray &bytes, bool deflate)
    {
        if (!m_archive || bytes.isEmpty())
            return false;
        zip_source_t *data =
            zip_source_buffer(m_archive.get(), bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (!data)
            return false;
        const zip_int64_t index =
            zip_file_add(m_archive.get(), name.toUtf8().constData(), data, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(data);
            return false;
        }
        return zip_set_file_compression(m_archive.get(), zip_uint64_t(index),
                                        deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0) == 0;
    }

    // Writes the archive and returns its bytes (empty on failure).
    QByteArray close()
    {
        if (!m_archive || zip_close(m_archive.get()) != 0)
            return QByteArray();
        m_archive.release(); // closed: freed by libzip
        zip_source_t *source = m_source.get();
        QByteArray bytes;
        zip_stat_t stat;
        if (zip_source_stat(source, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
            stat.size > zip_uint64_t(std::numeric_limits<int>::max()) ||
            zip_source_open(source) != 0)
            return QByteArray();
        bytes.resize(int(stat.size));
        const bool read =
            zip_source_read(source, bytes.data(), stat.size) == zip_int64_t(stat.size);
        zip_source_close(source);
        return read ? bytes : QByteArray();
    }

private:
    std::unique_ptr<zip_source_t, SourceDeleter> m_source;
    std::unique_ptr<zip_t, ZipDeleter> m_archive;
};

} // namespace

OfdWriter::Page OfdWriter::page(const QImage &image)
{
    Page page{QByteArray(), image.size(), PageResolution::dpi(image)};
    if (image.isNull())
        return page;
    page.jpeg = ImageEncoder::encode(image, "jpeg");
    return page;
}

QByteArray OfdWriter::encode(const QList<Page> &pages, const Info &info)
{
    if (pages.isEmpty())
        return QByteArray();
    QList<PageIds> ids;
    uint next = 0;
    for (const Page &page : pages) {
        if (page.jpeg.isEmpty() || page.pixels.isEmpty() || page.dpi.x() <= 0 || page.dpi.y() <= 0)
            return QByteArray();
        ids.append({next + 1, next + 2, next + 3, next + 4});
        next += 4;
    }

    // Every entry's bytes stay alive here until the archive is closed.
    QList<QByteArray> parts{ofdXml(info), documentXml(pages, ids), publicResXml(),
                            documentResXml(ids)};
    QStringList names{QStringLiteral("OFD.xml"), QStringLiteral("Doc_0/Document.xml"),
                      QStringLiteral("Doc_0/PublicRes.xml"),
                      QStringLiteral("Doc_0/DocumentRes.xml")};
    for (int i = 0; i < pages.size(); ++i) {
        parts << contentXml(pages.at(i), ids.at(i));
        names << QStringLiteral("Doc_0/Pages/Page_%1/Content.xml").arg(i);
    }
    MemoryZip zip;
    for (int i = 0; i < parts.size(); ++i) {
        if (!zip.add(names.at(i), parts.at(i), true))
            return QByteArray();
    }
    for (int i = 0; i < pages.size(); ++i) {
        if (!zip.add(QStringLiteral("Doc_0/Res/Image_%1.jpg").arg(i), pages.at(i).jpeg, false))
            return QByteArray();
    }
    return zip.close();
}

bool OfdWriter::write(const QImage &image, const QString &target)
{
    if (image.isNull())
        return false;
    return write(QList<Page>{page(image)}, target);
}

bool OfdWriter::write(const QList<Page> &pages, const QString &target)
{
    return FileCommit::write(encode(pages), target);
}
