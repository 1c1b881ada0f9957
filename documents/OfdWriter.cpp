#include "documents/OfdWriter.h"

#include "pages/FileCommit.h"
#include "pages/ImageEncoder.h"
#include "pages/PageResolution.h"
#include "pages/PageSource.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUuid>
#include <QXmlStreamWriter>

#include <zip.h>

#include <cstring>
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
    Part &characters(const QString &value)
    {
        m_xml.writeCharacters(value);
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

// The identifiers of one page's objects, unique within the document; the text objects take
// `image` + 1 onwards.
struct PageIds
{
    uint page, media, layer, image;
};

// The font of the text layer, shared by every page.
const uint kFontId = 1;
// A font every OFD reader has a face for; the text is never painted, so no font file.
const QString kFontName = QStringLiteral("宋体");

QString mmList(const QVector<double> &values)
{
    QStringList texts;
    for (double value : values)
        texts.append(mm(value));
    return texts.join(QLatin1Char(' '));
}

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

QByteArray documentXml(const QList<OfdWriter::Page> &pages, const QList<PageIds> &ids, uint maxId)
{
    Part part(QStringLiteral("Document"));
    part.open(QStringLiteral("CommonData"))
        .text(QStringLiteral("MaxUnitID"), QString::number(maxId))
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

QByteArray publicResXml(bool withFont)
{
    Part part(QStringLiteral("Res"));
    part.attribute(QStringLiteral("BaseLoc"), QStringLiteral("Res"));
    if (withFont) {
        part.open(QStringLiteral("Fonts"))
            .open(QStringLiteral("Font"))
            .attribute(QStringLiteral("ID"), QString::number(kFontId))
            .attribute(QStringLiteral("FontName"), kFontName)
            .attribute(QStringLiteral("FamilyName"), kFontName)
            .close()
            .close();
    }
    return part.finish();
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
                   QStringLiteral("%1 0 0 %2 0 0").arg(mm(size.width()), mm(size.height())))
        .close();
    // Each line one text object over its box: the characters from the first one's origin on
    // the baseline, each advanced by its own width, so a selection covers the printed line.
    const double toMmX = 25.4 / page.dpi.x();
    const double toMmY = 25.4 / page.dpi.y();
    uint id = ids.image;
    for (const TextLines::Line &line : page.text) {
        QVector<double> advances = line.advances();
        for (double &advance : advances)
            advance *= toMmX;
        advances.removeLast(); // from each character to the next
        const QRectF box(line.box.x() * toMmX, line.box.y() * toMmY, line.box.width() * toMmX,
                         line.box.height() * toMmY);
        part.open(QStringLiteral("TextObject"))
            .attribute(QStringLiteral("ID"), QString::number(++id))
            .attribute(QStringLiteral("Boundary"),
                       QStringLiteral("%1 %2 %3 %4")
                           .arg(mm(box.x()), mm(box.y()), mm(box.width()), mm(box.height())))
            .attribute(QStringLiteral("Font"), QString::number(kFontId))
            .attribute(QStringLiteral("Size"), mm(box.height()))
            .attribute(QStringLiteral("Fill"), QStringLiteral("false"))
            .open(QStringLiteral("TextCode"))
            .attribute(QStringLiteral("X"), mm(line.lefts.first() * toMmX - box.x()))
            .attribute(QStringLiteral("Y"), mm(line.baseline * toMmY - box.y()));
        if (!advances.isEmpty())
            part.attribute(QStringLiteral("DeltaX"), mmList(advances));
        part.characters(line.text).close().close();
    }
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

// An entry whose bytes are fetched when libzip comes to write it (its size is stated, so the
// entry needs no ZIP64 field), and dropped once read.
struct LazyEntry
{
    std::function<QByteArray()> fetch;
    QByteArray bytes;
    qint64 position = 0;
    qint64 size = -1; // known once fetched, also after the bytes are dropped
    zip_error_t error;

    bool have()
    {
        if (bytes.isEmpty()) { // not fetched yet, or dropped after an earlier read
            bytes = fetch();
            size = bytes.size();
        }
        if (bytes.isEmpty())
            zip_error_set(&error, ZIP_ER_READ, 0);
        return !bytes.isEmpty();
    }

    static zip_int64_t callback(void *userdata, void *data, zip_uint64_t length,
                                zip_source_cmd_t command)
    {
        auto *entry = static_cast<LazyEntry *>(userdata);
        switch (command) {
        case ZIP_SOURCE_OPEN:
            entry->position = 0;
            return entry->have() ? 0 : -1;
        case ZIP_SOURCE_READ: {
            const qint64 n = qMin(qint64(length), entry->bytes.size() - entry->position);
            std::memcpy(data, entry->bytes.constData() + entry->position, size_t(n));
            entry->position += n;
            return n;
        }
        case ZIP_SOURCE_CLOSE:
            entry->bytes = QByteArray();
            return 0;
        case ZIP_SOURCE_STAT: {
            auto *stat = static_cast<zip_stat_t *>(data);
            zip_stat_init(stat);
            if (entry->size < 0 && !entry->have())
                return -1;
            stat->size = zip_uint64_t(entry->size);
            stat->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&entry->error, data, length);
        case ZIP_SOURCE_FREE:
            zip_error_fini(&entry->error);
            delete entry;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                  ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&entry->error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }
};

// A zip archive built in memory or in a file. The entries' bytes must live until close().
class Package
{
public:
    // In memory.
    Package()
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
    // In a new file.
    explicit Package(const QString &file)
    {
        int error = 0;
        m_archive.reset(
            zip_open(QFile::encodeName(file).constData(), ZIP_CREATE | ZIP_EXCL, &error));
    }

    bool add(const QString &name, const QByteArray &bytes, bool deflate)
    {
        if (!m_archive || bytes.isEmpty())
            return false;
        return add(
            name,
            zip_source_buffer(m_archive.get(), bytes.constData(), zip_uint64_t(bytes.size()), 0),
            deflate);
    }
    // Stored as fetched.
    bool add(const QString &name, const std::function<QByteArray()> &fetch)
    {
        if (!m_archive || !fetch)
            return false;
        auto *entry = new LazyEntry{fetch, QByteArray(), 0, -1, {}};
        zip_error_init(&entry->error);
        zip_source_t *data = zip_source_function(m_archive.get(), LazyEntry::callback, entry);
        if (!data) {
            zip_error_fini(&entry->error);
            delete entry;
            return false;
        }
        return add(name, data, false);
    }

    // Writes the archive: true when complete.
    bool close()
    {
        if (!m_archive || zip_close(m_archive.get()) != 0)
            return false;
        m_archive.release(); // closed: freed by libzip
        return true;
    }
    // The bytes of an archive in memory, once closed (empty on failure).
    QByteArray bytes()
    {
        zip_source_t *source = m_source.get();
        QByteArray bytes;
        zip_stat_t stat;
        if (!source || m_archive || zip_source_stat(source, &stat) != 0 ||
            !(stat.valid & ZIP_STAT_SIZE) ||
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
    bool add(const QString &name, zip_source_t *data, bool deflate)
    {
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

    std::unique_ptr<zip_source_t, SourceDeleter> m_source;
    std::unique_ptr<zip_t, ZipDeleter> m_archive;
};

// Adds every part of the document to `package`; `parts` keeps the XML parts' bytes alive until
// the package is closed.
bool fill(Package &package, const QList<OfdWriter::Page> &pages, const OfdWriter::Info &info,
          QList<QByteArray> *parts)
{
    if (pages.isEmpty())
        return false;
    QList<PageIds> ids;
    bool withText = false;
    for (const OfdWriter::Page &page : pages)
        withText = withText || !page.text.isEmpty();
    uint next = withText ? kFontId : 0;
    for (const OfdWriter::Page &page : pages) {
        if ((page.jpeg.isEmpty() && !page.fetch) || page.pixels.isEmpty() || page.dpi.x() <= 0 ||
            page.dpi.y() <= 0)
            return false;
        ids.append({next + 1, next + 2, next + 3, next + 4});
        next += 4 + uint(page.text.size());
    }

    *parts = {ofdXml(info), documentXml(pages, ids, next), publicResXml(withText),
              documentResXml(ids)};
    QStringList names{QStringLiteral("OFD.xml"), QStringLiteral("Doc_0/Document.xml"),
                      QStringLiteral("Doc_0/PublicRes.xml"),
                      QStringLiteral("Doc_0/DocumentRes.xml")};
    for (int i = 0; i < pages.size(); ++i) {
        *parts << contentXml(pages.at(i), ids.at(i));
        names << QStringLiteral("Doc_0/Pages/Page_%1/Content.xml").arg(i);
    }
    for (int i = 0; i < parts->size(); ++i) {
        if (!package.add(names.at(i), parts->at(i), true))
            return false;
    }
    for (int i = 0; i < pages.size(); ++i) {
        const OfdWriter::Page &page = pages.at(i);
        const QString name = QStringLiteral("Doc_0/Res/Image_%1.jpg").arg(i);
        if (!(page.jpeg.isEmpty() ? package.add(name, page.fetch)
                                  : package.add(name, page.jpeg, false)))
            return false;
    }
    return true;
}

} // namespace

OfdWriter::Page OfdWriter::page(const QImage &image)
{
    Page page{QByteArray(), image.size(), PageResolution::dpi(image), {}, {}};
    if (image.isNull())
        return page;
    page.jpeg = ImageEncoder::encode(image, "jpeg");
    return page;
}

OfdWriter::Page OfdWriter::page(const PageSource &source)
{
    return Page{
        QByteArray(), source.size(), source.dpi(), [source] { return source.documentJpeg(); }, {}};
}

QList<OfdWriter::Page> OfdWriter::pages(const QList<PageSource> &sources)
{
    QList<Page> result;
    for (const PageSource &source : sources) {
        if (!source.isNull())
            result.append(page(source));
    }
    return result;
}

QByteArray OfdWriter::encode(const QList<Page> &pages, const Info &info)
{
    Package package;
    QList<QByteArray> parts;
    return fill(package, pages, info, &parts) && package.close() ? package.bytes() : QByteArray();
}

bool OfdWriter::write(const QList<Page> &pages, FileCommit &out, const Info &info)
{
    // libzip writes a file of its own (it goes back to complete each entry's header): built in
    // a private folder, then copied into the new file a chunk at a time.
    QTemporaryDir work;
    const QString built = work.filePath(QStringLiteral("document.ofd"));
    bool ok = work.isValid() && out.isOpen();
    if (ok) {
        Package package(built);
        QList<QByteArray> parts;
        ok = fill(package, pages, info, &parts) && package.close();
    }
    QFile file(built);
    ok = ok && file.open(QIODevice::ReadOnly);
    while (ok && !file.atEnd()) {
        const QByteArray chunk = file.read(1 << 20);
        ok = !chunk.isEmpty() && out.write(chunk);
    }
    if (!ok)
        out.fail();
    return ok;
}

bool OfdWriter::write(const QImage &image, const QString &target)
{
    if (image.isNull())
        return false;
    return write(QList<Page>{page(image)}, target);
}

bool OfdWriter::write(const QList<Page> &pages, const QString &target,
                      FileCommit::Existing existing, QString *written)
{
    FileCommit out(target);
    return write(pages, out) && out.commit(existing, written);
}
