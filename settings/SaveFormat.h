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
        MergedPdf = 6,
        SearchablePdf = 7 // the merged PDF with the pages' text recognised
    };

    // The file suffix written for the format (".jpg", ... ; ".pdf" for both merged PDFs), or an
    // empty text for an index that is no format.
    static QString suffix(int saveType);
    static bool isFormat(int saveType) { return saveType >= Jpg && saveType <= SearchablePdf; }
    // A format whose pages carry their recognised text: the searchable PDF, and the searchable
    // OFD (index 9).
    static bool isSearchable(int saveType) { return saveType == SearchablePdf || saveType == 9; }
    // One file of all pages, named after the first page, rather than one file per page.
    static bool isMerged(int saveType)
    {
        return saveType == MergedPdf || saveType == SearchablePdf;
    }
};
