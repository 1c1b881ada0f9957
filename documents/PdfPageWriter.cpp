#include "documents/PdfPageWriter.h"

#include "documents/PdfTextLayer.h"
#include "pages/JpegHeader.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace {

// The end of qpdf's output: buffered writes to a file descriptor, each checked. libqpdf calls
// finish(), and may write, from destructors while it unwinds, so a failure is only noted here
// (throwing could end the program); the writer's caller asks failed() when qpdf is done.
class FilePipeline : public Pipeline
{
public:
    explicit FilePipeline(int fd) : Pipeline("page file", nullptr), m_fd(fd)
    {
        m_buffer.reserve(Size);
    }

    void write(unsigned char const *data, size_t length) override
    {
        if (m_failed)
            return;
        if (m_buffer.size() + length > Size)
            flush();
        if (length >= Size)
            writeOut(data, length);
        else
            m_buffer.insert(m_buffer.end(), data, data + length);
    }
    void finish() override { flush(); }

    void flush()
    {
        writeOut(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
    }
    bool failed() const { return m_failed; }

private:
    static const size_t Size = 1 << 16;

    void writeOut(unsigned char const *data, size_t length)
    {
        while (length > 0 && !m_failed) {
            const ssize_t n = ::write(m_fd, data, length);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                qDebug() << "PdfPageWriter: cannot write:" << std::strerror(errno);
                m_failed = true;
                return;
            }
            data += n;
            length -= size_t(n);
        }
    }

    int m_fd;
    bool m_failed = false;
    std::vector<unsigned char> m_buffer;
};

std::string number(double value)
{
    return QByteArray::number(value, 'f', 4).toStdString();
}

// Page box and image of one page, with the image's data fetched when the writer gets to it,
// and the text layer over it when the page has text (`font` then the document's text font).
void addPage(QPDF &pdf, QPDFPageDocumentHelper &document, const PdfPageWriter::Page &page,
             const FilePipeline *out, QPDFObjectHandle *font)
{
    const QSize pixels = page.pixels;
    const int components = page.grey ? 1 : 3;
    const double width = pixels.width() * 72.0 / page.dpi.x();
    const double height = pixels.height() * 72.0 / page.dpi.y();

    QPDFObjectHandle image = pdf.newStream();
    QPDFObjectHandle imageDict = image.getDict();
    imageDict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    imageDict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    imageDict.replaceKey("/Width", QPDFObjectHandle::newInteger(pixels.width()));
    imageDict.replaceKey("/Height", QPDFObjectHandle::newInteger(pixels.height()));
    imageDict.replaceKey("/ColorSpace",
                         QPDFObjectHandle::newName(components == 1 ? "/DeviceGray" : "/DeviceRGB"));
    imageDict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    image.replaceStreamData(
        [page, pixels, components, out](Pipeline *pipeline) {
            // After a failed write (a full disk) no further page is fetched.
            if (out->failed())
                throw std::runtime_error("the file cannot be written");
            const QByteArray jpeg = page.jpeg();
            // The dictionary was made from what the page said it would be: the JPEG must agree.
            const JpegHeader header = JpegHeader::read(jpeg);
            if (!header.isPdfCompatible() || header.pixels() != pixels ||
                header.components() != components)
                throw std::runtime_error("a page's JPEG cannot be had");
            pipeline->write(reinterpret_cast<const unsigned char *>(jpeg.constData()),
                            size_t(jpeg.size()));
            pipeline->finish();
        },
        QPDFObjectHandle::newName("/DCTDecode"), QPDFObjectHandle::newNull());

    const std::string text = PdfTextLayer::content(page.text, pixels, page.dpi);
    const std::string content =
        "q\n" + number(width) + " 0 0 " + number(height) + " 0 0 cm\n/Im0 Do\nQ\n" + text;
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
    xobjects.replaceKey("/Im0", image);
    resources.replaceKey("/XObject", xobjects);
    if (!text.empty()) {
        if (font->isNull())
            *font = PdfTextLayer::font(pdf);
        QPDFObjectHandle fonts = QPDFObjectHandle::newDictionary();
        fonts.replaceKey(PdfTextLayer::fontName(), *font);
        resources.replaceKey("/Font", fonts);
    }
    QPDFObjectHandle box = QPDFObjectHandle::newArray();
    for (const std::string &value :
         {std::string("0"), std::string("0"), number(width), number(height)})
        box.appendItem(QPDFObjectHandle::newReal(value));
    QPDFObjectHandle pageDict = QPDFObjectHandle::newDictionary();
    pageDict.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
    pageDict.replaceKey("/MediaBox", box);
    pageDict.replaceKey("/Contents", pdf.newStream(content));
    pageDict.replaceKey("/Resources", resources);
    document.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(pageDict)), false);
}

bool writeFile(const QList<PdfPageWriter::Page> &pages, int fd)
{
    bool written = false;
    try {
        FilePipeline out(fd);
        QPDF pdf;
        pdf.emptyPDF();
        QPDFPageDocumentHelper document(pdf);
        QPDFObjectHandle font = QPDFObjectHandle::newNull();
        for (const PdfPageWriter::Page &page : pages)
            addPage(pdf, document, page, &out, &font);
        QPDFWriter writer(pdf);
        writer.setOutputPipeline(&out);
        writer.write();
        out.flush();
        written = !out.failed();
    } catch (const std::exception &e) {
        qDebug() << "PdfPageWriter:" << e.what();
    }
    return written;
}

// A complete, valid PDF of `count` pages, as a reader sees it.
bool holdsPages(const QString &file, int count)
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(file).constData());
        return int(QPDFPageDocumentHelper(pdf).getAllPages().size()) == count &&
               pdf.getWarnings().empty();
    } catch (const std::exception &e) {
        qDebug() << "PdfPageWriter: written file unreadable:" << e.what();
        return false;
    }
}

} // namespace

PdfPageWriter::Page PdfPageWriter::page(const PageSource &source)
{
    return Page{[source] { return source.documentJpeg(); },
                source.size(),
                source.dpi(),
                source.isGreyJpeg(),
                {}};
}

bool PdfPageWriter::write(const QList<PageSource> &pages, FileCommit &out)
{
    QList<Page> withPixels;
    for (const PageSource &source : pages) {
        if (!source.isNull())
            withPixels.append(page(source));
    }
    return write(withPixels, out);
}

bool PdfPageWriter::write(const QList<Page> &withPixels, FileCommit &out)
{
    if (withPixels.isEmpty() || !out.isOpen())
        return false;
    // Read back through the new file's own descriptor before it may take the target's name.
    if (writeFile(withPixels, out.handle()) && holdsPages(out.readBackPath(), withPixels.size()))
        return true;
    out.fail();
    return false;
}

bool PdfPageWriter::write(const QList<PageSource> &pages, const QString &pdfPath,
                          FileCommit::Existing existing, QString *written)
{
    FileCommit out(pdfPath);
    return write(pages, out) && out.commit(existing, written);
}

bool PdfPageWriter::write(const QImage &image, const QString &pdfPath)
{
    return write(QList<PageSource>{PageSource::ofImage(image)}, pdfPath);
}

bool PdfPageWriter::writeMerged(const QList<QImage> &images, const QString &pdfPath)
{
    QList<PageSource> pages;
    for (const QImage &image : images)
        pages.append(PageSource::ofImage(image));
    return write(pages, pdfPath);
}
