// The OFD package and the compact TIFF: what a reader finds in the files, read back with
// libzip, an XML reader and libtiff; every writer fails whole.

#include "documents/OfdWriter.h"
#include "documents/PageWriter.h"
#include "documents/PdfPageWriter.h"
#include "documents/TiffWriter.h"
#include "pages/PageResolution.h"
#include "pages/PageTone.h"
#include "settings/SaveFormat.h"
#include "tests/support/DocumentPages.h"
#include "tests/support/SavedFiles.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPages.h"

#include <QBuffer>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <tiffio.h>

#include <cmath>
#include <csignal>

using TestFiles::readAll;

namespace {

const QString kOfd = QStringLiteral("http://www.ofdspec.org/2016");

// One XML part as read: every element (with the prefix it was written with) in document order,
// "name@attribute=value" for each attribute and "name=text" for the text of a leaf.
struct Xml
{
    QStringList elements;
    QMap<QString, QStringList> values; // element name -> its attributes and text, in order
    bool wellFormed = false;
    bool allInNamespace = true;
};

Xml readXml(const QByteArray &bytes)
{
    Xml xml;
    QXmlStreamReader reader(bytes);
    QString current;
    bool declared = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartDocument()) {
            declared =
                reader.documentVersion() == QLatin1String("1.0") &&
                reader.documentEncoding().compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0;
        } else if (reader.isStartElement()) {
            current = reader.qualifiedName().toString();
            xml.elements << current;
            xml.allInNamespace = xml.allInNamespace && reader.namespaceUri() == kOfd &&
                                 reader.prefix() == QLatin1String("ofd");
            for (const QXmlStreamAttribute &a : reader.attributes())
                xml.values[current] << a.name().toString() + "=" + a.value().toString();
        } else if (reader.isCharacters() && !reader.isWhitespace()) {
            xml.values[current] << reader.text().toString();
        }
    }
    xml.wellFormed = !reader.hasError() && declared;
    return xml;
}

QString value(const Xml &xml, const QString &element, int i = 0)
{
    const QStringList v = xml.values.value(element);
    return i < v.size() ? v.at(i).section('=', -1) : QString();
}

QImage withDpi(QImage image, double dpiX, double dpiY)
{
    image.setDotsPerMeterX(int(std::lround(dpiX / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(dpiY / 0.0254)));
    return image;
}

} // namespace

class TestDocumentWriters : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); } // beyond a file size limit: EFBIG

    void ofdPackageHasEveryPartInOrder_data()
    {
        QTest::addColumn<QList<QImage>>("images");
        QTest::addColumn<QStringList>("boxes"); // each page's PhysicalBox
        const QImage colour = DocumentPages::page({}, 1).convertToFormat(QImage::Format_RGB32);
        QTest::newRow("A4 page at 150 dpi")
            << QList<QImage>{colour} << QStringList{"0 0 209.973 297.011"};
        QTest::newRow("grey 300 x 600 dpi")
            << QList<QImage>{withDpi(
                   TestPages::randomImage(QImage::Format_Grayscale8, 600, 1200, 2), 300, 600)}
            << QStringList{"0 0 50.8 50.8"};
        QTest::newRow("three pages of two sizes")
            << QList<QImage>{withDpi(colour.scaled(254, 100), 254, 254),
                             withDpi(colour.scaled(100, 200), 100, 100),
                             withDpi(colour.scaled(254, 100), 254, 254)}
            << QStringList{"0 0 25.4 10", "0 0 25.4 50.8", "0 0 25.4 10"};
    }
    void ofdPackageHasEveryPartInOrder()
    {
        QFETCH(QList<QImage>, images);
        QFETCH(QStringList, boxes);
        QList<OfdWriter::Page> pages;
        for (const QImage &image : images)
            pages << OfdWriter::page(image);
        const QString file = m_dir.filePath("doc.ofd");
        QVERIFY(OfdWriter::write(pages, file));
        const QList<SavedFiles::Entry> entries = SavedFiles::unzip(file);

        QStringList names{"OFD.xml", "Doc_0/Document.xml", "Doc_0/PublicRes.xml",
                          "Doc_0/DocumentRes.xml"};
        for (int i = 0; i < pages.size(); ++i)
            names << QString("Doc_0/Pages/Page_%1/Content.xml").arg(i);
        for (int i = 0; i < pages.size(); ++i)
            names << QString("Doc_0/Res/Image_%1.jpg").arg(i);
        QStringList found;
        QMap<QString, Xml> parts;
        for (const SavedFiles::Entry &e : entries) {
            found << e.name;
            QCOMPARE(e.stored, e.name.endsWith(".jpg")); // the images stored, the XML deflated
            if (e.name.endsWith(".xml")) {
                parts[e.name] = readXml(e.bytes);
                QVERIFY2(parts[e.name].wellFormed && parts[e.name].allInNamespace,
                         qPrintable(e.name));
            }
        }
        QCOMPARE(found, names);

        // The elements in the order the schemas' sequences ask for.
        const Xml ofd = parts["OFD.xml"];
        QCOMPARE(ofd.elements, QStringList({"ofd:OFD", "ofd:DocBody", "ofd:DocInfo", "ofd:DocID",
                                            "ofd:CreationDate", "ofd:Creator", "ofd:DocRoot"}));
        QCOMPARE(ofd.values["ofd:OFD"], QStringList({"Version=1.0", "DocType=OFD"}));
        QVERIFY(QRegularExpression("^[0-9a-f]{32}$").match(value(ofd, "ofd:DocID")).hasMatch());
        QCOMPARE(value(ofd, "ofd:DocRoot"), QString("Doc_0/Document.xml"));

        const Xml doc = parts["Doc_0/Document.xml"];
        QStringList docElements{"ofd:Document",    "ofd:CommonData",  "ofd:MaxUnitID",
                                "ofd:PageArea",    "ofd:PhysicalBox", "ofd:PublicRes",
                                "ofd:DocumentRes", "ofd:Pages"};
        QStringList res{"ofd:Res", "ofd:MultiMedias"};
        for (int i = 0; i < pages.size(); ++i) {
            docElements << "ofd:Page";
            res << "ofd:MultiMedia"
                << "ofd:MediaFile";
        }
        QCOMPARE(doc.elements, docElements);
        QCOMPARE(value(doc, "ofd:PhysicalBox"), boxes.first());
        QCOMPARE(value(doc, "ofd:PublicRes"), QString("PublicRes.xml"));
        QCOMPARE(value(doc, "ofd:DocumentRes"), QString("DocumentRes.xml"));
        const Xml media = parts["Doc_0/DocumentRes.xml"];
        QCOMPARE(media.elements, res);
        QCOMPARE(media.values["ofd:Res"], QStringList("BaseLoc=Res"));

        // Identifiers: unique unsigned integers, MaxUnitID the largest, references resolve.
        QList<uint> ids;
        const QStringList mediaValues = media.values["ofd:MultiMedia"];
        QMap<QString, QString> mediaFile; // MultiMedia ID -> file below Doc_0/Res
        for (int i = 0; i < pages.size(); ++i) {
            QCOMPARE(mediaValues.mid(3 * i + 1, 2), QStringList({"Type=Image", "Format=JPEG"}));
            mediaFile[value(media, "ofd:MultiMedia", 3 * i)] = value(media, "ofd:MediaFile", i);
            ids << value(media, "ofd:MultiMedia", 3 * i).toUInt();
            QCOMPARE(doc.values["ofd:Page"].at(2 * i + 1),
                     QString("BaseLoc=Pages/Page_%1/Content.xml").arg(i));
            ids << value(doc, "ofd:Page", 2 * i).toUInt();

            const Xml content = parts[QString("Doc_0/Pages/Page_%1/Content.xml").arg(i)];
            QCOMPARE(content.elements,
                     QStringList({"ofd:Page", "ofd:Area", "ofd:PhysicalBox", "ofd:Content",
                                  "ofd:Layer", "ofd:ImageObject"}));
            QCOMPARE(value(content, "ofd:PhysicalBox"), boxes.at(i));
            const QStringList size = boxes.at(i).split(' ').mid(2);
            const QStringList object = content.values["ofd:ImageObject"];
            QCOMPARE(object.mid(2), QStringList({"Boundary=" + boxes.at(i),
                                                 "CTM=" + size[0] + " 0 0 " + size[1] + " 0 0"}));
            ids << value(content, "ofd:Layer").toUInt()
                << value(content, "ofd:ImageObject").toUInt();
            // The image object shows this page's image, identical to what was written.
            const QString file = mediaFile.value(value(content, "ofd:ImageObject", 1));
            QCOMPARE(entries.at(names.indexOf("Doc_0/Res/" + file)).bytes, pages.at(i).jpeg);
            const QImage back = QImage::fromData(pages.at(i).jpeg, "jpeg");
            QCOMPARE(back.size(), images.at(i).size());
            QCOMPARE(PageResolution::dpi(back), PageResolution::dpi(images.at(i)));
        }
        QVERIFY(!ids.contains(0));
        QCOMPARE(QSet<uint>(ids.begin(), ids.end()).size(), ids.size());
        QCOMPARE(value(doc, "ofd:MaxUnitID").toUInt(), *std::max_element(ids.begin(), ids.end()));
    }

    void writesWholeOrNotAtAll_data()
    {
        QTest::addColumn<int>("saveType");
        for (int type = SaveFormat::Jpg; type <= SaveFormat::MergedPdf; ++type)
            QTest::newRow(qPrintable(SaveFormat::suffix(type) + QString::number(type))) << type;
    }
    void writesWholeOrNotAtAll()
    {
        // A null page, a missing folder and a full disk (the page written at once, or kept in the
        // file's buffer until the end) fail and keep the file of that name; a good write replaces
        // it. No temporary file is left.
        QFETCH(int, saveType);
        QTemporaryDir dir;
        const QString target = dir.filePath("page" + SaveFormat::suffix(saveType));
        const auto write = [&](const QImage &image, const QString &file) {
            return saveType == SaveFormat::MergedPdf
                       ? PdfPageWriter::writeMerged({QImage(), image, image}, file)
                       : PageWriter::write(image, saveType, file);
        };
        QVERIFY(TestFiles::writeFile(target, "good"));
        const QImage page = TestPages::randomImage(QImage::Format_RGB888, 300, 300, 4);
        QVERIFY(!write(QImage(), target));
        QVERIFY(!write(page, dir.filePath("missing/page")));
        TestFiles::limitFileSize(64);
        const bool written = write(page, target) || write(page.scaled(12, 12), target);
        TestFiles::limitFileSize(RLIM_INFINITY);
        QVERIFY(!written);
        QCOMPARE(readAll(target), QByteArray("good"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList(QFileInfo(target).fileName()));
        QVERIFY(write(page, target));
        QVERIFY(readAll(target) != "good");
    }

    void tiffIsCompactAndLossless_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<int>("compression");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("samples");
        QTest::addColumn<double>("maxRatio"); // file size against the raw 8-bit samples
        DocumentPages::Options text;
        text.noise = true;
        const QImage grey = DocumentPages::page(text, 5); // Grayscale8, 150 dpi
        const QImage indexed = grey.convertToFormat(QImage::Format_Indexed8);
        text.twoLevel = true;
        const QImage twoLevel = DocumentPages::page(text, 5); // as the threshold leaves it
        text.twoLevel = false;
        text.colour = true;
        const QImage colour = DocumentPages::page(text, 5); // RGB32
        QImage almost = twoLevel.copy();
        almost.scanLine(40)[40] = 128;
        const int deflate = COMPRESSION_ADOBE_DEFLATE, g4 = COMPRESSION_CCITTFAX4;
        QTest::newRow("colour page") << colour << deflate << 8 << 3 << 0.6;
        QTest::newRow("grey page") << grey << deflate << 8 << 1 << 0.75; // grain: incompressible
        QTest::newRow("grey page, indexed") << indexed << deflate << 8 << 1 << 0.75;
        QTest::newRow("colour with alpha, 300 x 200 dpi")
            << withDpi(TestPages::randomImage(QImage::Format_ARGB32, 64, 48, 3), 300, 200)
            << deflate << 8 << 4 << 1.1;
        QTest::newRow("black and white, threshold") << twoLevel << g4 << 1 << 1 << 0.02;
        QTest::newRow("black and white, three channels")
            << twoLevel.convertToFormat(QImage::Format_RGB32) << g4 << 1 << 1 << 0.02;
        QTest::newRow("black and white, 1-bit")
            << twoLevel.convertToFormat(QImage::Format_Mono) << g4 << 1 << 1 << 0.02;
        QTest::newRow("one grey pixel: not two-level") << almost << deflate << 8 << 1 << 0.6;
    }
    void tiffIsCompactAndLossless()
    {
        QFETCH(QImage, image);
        QFETCH(int, compression);
        QFETCH(int, bits);
        QFETCH(int, samples);
        QFETCH(double, maxRatio);
        const QString file = m_dir.filePath("page.tiff");
        QVERIFY(PageWriter::write(image, SaveFormat::Tiff, file));
        TIFF *tiff = TIFFOpen(QFile::encodeName(file).constData(), "r");
        QVERIFY(tiff);
        const auto tag = [tiff](ttag_t name) {
            uint16_t v = 0;
            TIFFGetFieldDefaulted(tiff, name, &v);
            return int(v);
        };
        QCOMPARE(tag(TIFFTAG_COMPRESSION), compression);
        QCOMPARE(tag(TIFFTAG_BITSPERSAMPLE), bits);
        QCOMPARE(tag(TIFFTAG_SAMPLESPERPIXEL), samples);
        QCOMPARE(tag(TIFFTAG_PHOTOMETRIC), bits == 1      ? PHOTOMETRIC_MINISWHITE
                                           : samples == 1 ? PHOTOMETRIC_MINISBLACK
                                                          : PHOTOMETRIC_RGB);
        QCOMPARE(tag(TIFFTAG_RESOLUTIONUNIT), RESUNIT_INCH);
        float xres = 0, yres = 0;
        TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xres);
        TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yres);
        TIFFClose(tiff);
        QCOMPARE(std::lround(xres / 0.0254), long(image.dotsPerMeterX())); // 150, 300, 200
        QCOMPARE(std::lround(yres / 0.0254), long(image.dotsPerMeterY()));
        QCOMPARE(std::fmod(xres, 50.0f) + std::fmod(yres, 50.0f), 0.0f);
        const double raw = double(image.width()) * image.height() * samples;
        qInfo("%.1f %% of the raw samples", 100.0 * QFileInfo(file).size() / raw);
        QVERIFY(QFileInfo(file).size() < maxRatio * raw);
        // Every pixel comes back (Qt's own TIFF reader).
        // Alpha is kept premultiplied.
        const QImage::Format compare =
            samples == 4 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
        QCOMPARE(QImageReader(file).read().convertToFormat(compare),
                 image.convertToFormat(compare));
        QCOMPARE(PageTone::isTwoLevel(image), bits == 1);
    }
};

SCANCONSOLE_TEST_MAIN(TestDocumentWriters)
#include "tst_documentwriters.moc"
