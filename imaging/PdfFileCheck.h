#pragma once

#include <QString>

// Qt's PDF output does not report failed writes (a full disk, a file size limit): the printer
// ends "successfully" and leaves a truncated file. A complete file starts with the PDF header
// and ends with the end-of-file marker, which is written last.
class PdfFileCheck
{
public:
    static bool isComplete(const QString &path);
};
