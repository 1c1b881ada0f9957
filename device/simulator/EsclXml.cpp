#include "device/simulator/EsclXml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace EsclXml {

namespace {

const QString kScan = QStringLiteral("http://schemas.hp.com/imaging/escl/2011/05/03");
const QString kPwg = QStringLiteral("http://www.pwg.org/schemas/2010/12/sm");

// A writer with the two eSCL namespaces declared on the root element.
class Document
{
public:
    explicit Document(const QString &root) : m_xml(&m_bytes)
    {
        m_xml.setAutoFormatting(true);
        m_xml.writeStartDocument();
        m_xml.writeNamespace(kScan, QStringLiteral("scan"));
        m_xml.writeNamespace(kPwg, QStringLiteral("pwg"));
        m_xml.writeStartElement(kScan, root);
        pwg("Version", "2.63");
    }
    QByteArray finish()
    {
        m_xml.writeEndDocument();
        return m_bytes;
    }
    void scan(const char *name, const QString &value)
    {
        m_xml.writeTextElement(kScan, name, value);
    }
    void scan(const char *name, int value) { scan(name, QString::number(value)); }
    void pwg(const char *name, const QString &value) { m_xml.writeTextElement(kPwg, name, value); }
    void pwg(const char *name, int value) { pwg(name, QString::number(value)); }
    void open(const char *name) { m_xml.writeStartElement(kScan, QLatin1String(name)); }
    void openPwg(const char *name) { m_xml.writeStartElement(kPwg, QLatin1String(name)); }
    void close() { m_xml.writeEndElement(); }

private:
    QByteArray m_bytes;
    QXmlStreamWriter m_xml;
};

void inputCaps(Document &d, const char *element)
{
    d.open(element);
    d.scan("MinWidth", 16);
    d.scan("MaxWidth", maxWidth);
    d.scan("MinHeight", 16);
    d.scan("MaxHeight", maxHeight);
    d.scan("MaxScanRegions", 1);
    d.open("SettingProfiles");
    d.open("SettingProfile");
    d.open("ColorModes");
    d.scan("ColorMode", QStringLiteral("Grayscale8"));
    d.scan("ColorMode", QStringLiteral("RGB24"));
    d.close();
    d.open("DocumentFormats");
    d.pwg("DocumentFormat", QStringLiteral("image/jpeg"));
    d.scan("DocumentFormatExt", QStringLiteral("image/jpeg"));
    d.close();
    d.open("SupportedResolutions");
    d.open("DiscreteResolutions");
    for (int dpi : resolutions()) {
        d.open("DiscreteResolution");
        d.scan("XResolution", dpi);
        d.scan("YResolution", dpi);
        d.close();
    }
    d.close();
    d.close();
    d.open("ColorSpaces");
    d.scan("ColorSpace", QStringLiteral("sRGB"));
    d.close();
    d.close(); // SettingProfile
    d.close(); // SettingProfiles
    d.open("SupportedIntents");
    d.scan("Intent", QStringLiteral("Document"));
    d.scan("Intent", QStringLiteral("TextAndGraphic"));
    d.scan("Intent", QStringLiteral("Photo"));
    d.close();
    d.scan("MaxOpticalXResolution", resolutions().last());
    d.scan("MaxOpticalYResolution", resolutions().last());
    d.close();
}

} // namespace

const QList<int> &resolutions()
{
    static const QList<int> list{200, 300, 400, 600};
    return list;
}

QByteArray capabilities(const QString &makeAndModel, const QString &uuid)
{
    Document d(QStringLiteral("ScannerCapabilities"));
    d.pwg("MakeAndModel", makeAndModel);
    d.pwg("SerialNumber", uuid.left(8));
    d.scan("UUID", uuid);
    d.open("Platen");
    inputCaps(d, "PlatenInputCaps");
    d.close();
    d.open("Adf");
    inputCaps(d, "AdfSimplexInputCaps");
    inputCaps(d, "AdfDuplexInputCaps");
    d.scan("FeederCapacity", 50);
    d.open("AdfOptions");
    d.scan("AdfOption", QStringLiteral("DetectPaperLoaded"));
    d.scan("AdfOption", QStringLiteral("Duplex"));
    d.close();
    d.close();
    return d.finish();
}

QByteArray status(const QString &state, const QString &adfState, const QList<JobInfo> &jobs)
{
    Document d(QStringLiteral("ScannerStatus"));
    d.pwg("State", state);
    d.scan("AdfState", adfState);
    d.open("Jobs");
    for (const JobInfo &job : jobs) {
        d.open("JobInfo");
        d.pwg("JobUri", job.uri);
        d.pwg("JobUuid", job.uuid);
        d.scan("Age", job.ageSeconds);
        d.pwg("ImagesCompleted", job.imagesCompleted);
        d.pwg("ImagesToTransfer", job.imagesToTransfer);
        d.pwg("JobState", job.state);
        d.openPwg("JobStateReasons");
        if (!job.reason.isEmpty())
            d.pwg("JobStateReason", job.reason);
        d.close();
        d.close();
    }
    d.close();
    return d.finish();
}

bool parseScanSettings(const QByteArray &xml, ScanSettings *s)
{
    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("ScanSettings"))
        return false;
    // The elements are looked for by name wherever they are: clients differ in nesting and in
    // the namespace they put some of them in.
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        const auto name = reader.name();
        auto number = [&reader](int *value) { *value = reader.readElementText().toInt(); };
        if (name == QLatin1String("InputSource"))
            s->inputSource = reader.readElementText().trimmed();
        else if (name == QLatin1String("Duplex"))
            s->duplex = reader.readElementText().trimmed() == QLatin1String("true");
        else if (name == QLatin1String("ColorMode"))
            s->colorMode = reader.readElementText().trimmed();
        else if (name == QLatin1String("XResolution"))
            number(&s->xResolution);
        else if (name == QLatin1String("YResolution"))
            number(&s->yResolution);
        else if (name == QLatin1String("XOffset"))
            number(&s->xOffset);
        else if (name == QLatin1String("YOffset"))
            number(&s->yOffset);
        else if (name == QLatin1String("Width"))
            number(&s->width);
        else if (name == QLatin1String("Height"))
            number(&s->height);
        else if (name == QLatin1String("DocumentFormatExt") ||
                 (name == QLatin1String("DocumentFormat") && s->documentFormat.isEmpty()))
            s->documentFormat = reader.readElementText().trimmed();
    }
    return !reader.hasError();
}

} // namespace EsclXml
