#pragma once

#include <QString>

// The output formats of the destination folder, by the index the settings record stores.
class SaveFormat
{
public:
    enum Type
    {
        Jpg = 0,
        Pdf = 1,
        Tiff = 2,
        Ofd = 3,
        Png = 4,
        Bmp = 5,
        MergedPdf = 6
    };

    // The file suffix written for the format (".jpg", ... ; ".pdf" for the merged PDF), or an
    // empty text for an index that is no format.
    static QString suffix(int saveType);
    static bool isFormat(int saveType) { return saveType >= Jpg && saveType <= MergedPdf; }
};
