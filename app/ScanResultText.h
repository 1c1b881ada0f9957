#pragma once

#include <QString>

// The warning text the console shows for a scan's result code; empty for success (0). Each names
// the cause and the next step. `pages`: the pages the document holds from the scanner so far (a
// jam or an open cover keeps them); `nextSheet`: the sheet to put back into the feeder first;
// `address`: the scanner's address, for the text of a scanner that cannot be reached.
class ScanResultText
{
public:
    static QString message(int code, int pages = 0, int nextSheet = 1,
                           const QString &address = QString());
    // The codes after which the operator can go on scanning into the same document (a jam, an
    // open cover): their warning offers "继续扫描".
    static bool offersContinue(int code);
};
