#include "settings/SaveFormat.h"

QString SaveFormat::suffix(int saveType)
{
    switch (saveType) {
    case Jpg:
        return QStringLiteral(".jpg");
    case Pdf:
    case MergedPdf:
    case SearchablePdf:
        return QStringLiteral(".pdf");
    case Tiff:
        return QStringLiteral(".tiff");
    case Ofd:
    case MergedOfd:
    case SearchableOfd:
        return QStringLiteral(".ofd");
    case Png:
        return QStringLiteral(".png");
    case Bmp:
        return QStringLiteral(".bmp");
    default:
        return QString();
    }
}
