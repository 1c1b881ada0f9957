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
        SearchablePdf = 7, // the merged PDF with the pages' text recognised
        MergedOfd = 8,     // one OFD package of all pages
        SearchableOfd = 9  // the merged OFD with the pages' text recognised
    };

    // The file suffix written for the format (".jpg", ... ; ".pdf" for both merged PDFs, ".ofd"
    // for every OFD), or an empty text for an index that is no format.
    static QString suffix(int saveType);
    static bool isFormat(int saveType) { return saveType >= Jpg && saveType <= SearchableOfd; }
    // One file of all pages, named after the first page, rather than one file per page.
    static bool isMerged(int saveType)
    {
        return saveType >= MergedPdf && saveType <= SearchableOfd;
    }
    // The merged document with the text recognised under each page image.
    static bool isSearchable(int saveType)
    {
        return saveType == SearchablePdf || saveType == SearchableOfd;
    }
    // The document is an OFD package rather than a PDF (for the merged formats).
    static bool isOfd(int saveType)
    {
        return saveType == Ofd || saveType == MergedOfd || saveType == SearchableOfd;
    }
};
