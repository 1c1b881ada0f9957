#include "scan/ScanArguments.h"

#include "settings/PaperSize.h"

QString ScanArguments::sourceValue(int sourceType)
{
    switch (sourceType) {
    case 0:
        return QStringLiteral("1"); // flatbed
    case 1:
        return QStringLiteral("2"); // feeder, one side
    case 2:
        return QStringLiteral("3"); // feeder, both sides
    default:
        return QString();
    }
}

QString ScanArguments::colourValue(int imageType)
{
    switch (imageType) {
    case 0:
        return QStringLiteral("3"); // black and white
    case 1:
        return QStringLiteral("1"); // grey
    case 2:
        return QStringLiteral("2"); // colour
    default:
        return QString();
    }
}

QString ScanArguments::resolutionValue(int resolution)
{
    switch (resolution) {
    case 0: // a scanner without 150 dpi scans at the nearest it has, and says so
        return QStringLiteral("150");
    case 1:
        return QStringLiteral("200");
    case 2:
        return QStringLiteral("300");
    case 3:
        return QStringLiteral("400");
    case 4:
        return QStringLiteral("600");
    default:
        return QString();
    }
}

QString ScanArguments::areaValue(int paperSize)
{
    int shortSide = 0, longSide = 0;
    if (!PaperSize::millimetres(paperSize, &shortSide, &longSide))
        return QString();
    return QStringLiteral("%1x%2").arg(shortSide).arg(longSide);
}

QStringList ScanArguments::build(const QString &address, int sourceType, int imageType,
                                 int resolution, const QString &outputPath, int paperSize)
{
    QStringList args;
    args << QStringLiteral("-p") << address;
    args << QStringLiteral("-t") << QStringLiteral("4");

    const QString source = sourceValue(sourceType);
    if (!source.isEmpty())
        args << QStringLiteral("-s") << source;
    const QString colour = colourValue(imageType);
    if (!colour.isEmpty())
        args << QStringLiteral("-c") << colour;
    const QString dpi = resolutionValue(resolution);
    if (!dpi.isEmpty())
        args << QStringLiteral("-r") << dpi;
    const QString area = areaValue(paperSize);
    if (!area.isEmpty())
        args << QStringLiteral("-a") << area;

    args << QStringLiteral("-f") << outputPath;
    return args;
}
