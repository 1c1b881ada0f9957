#pragma once

#include <QString>
#include <QStringList>

// Turns the scan fields of the settings record into ScanConsoleApp's command line. Kept apart
// from the runner thread so that every mapping can be checked without starting anything.
class ScanArguments
{
public:
    // Each returns the device's value for a record index, or an empty text when the index lies
    // outside its table (the caller then leaves the whole pair out).
    static QString sourceValue(int sourceType);
    static QString colourValue(int imageType);
    static QString resolutionValue(int resolution);
    // The scan area "WIDTHxHEIGHT" in millimetres (upright) for a paper-size index; empty for
    // automatic detection (0) and indices outside the table.
    static QString areaValue(int paperSize);

    // "-p" address, "-t" "4", "-s" source, "-c" colour, "-r" dpi, "-a" area, "-f" output path,
    // in this order; "-p", "-t" and "-f" are always present, even with an empty address.
    static QStringList build(const QString &address, int sourceType, int imageType, int resolution,
                             const QString &outputPath, int paperSize = 0);
};
