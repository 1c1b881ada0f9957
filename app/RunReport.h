#pragma once

#include "log/LogRecord.h"
#include "scan/PageTally.h"

#include <QCoreApplication>
#include <QSizeF>
#include <QString>

// What one finished scan or preview says about itself: the work log's result and document
// path, the status-bar line and the warning for its result code. Only what really happened
// counts: pages saved (or, for a preview, collected), files really written.
class RunReport
{
    Q_DECLARE_TR_FUNCTIONS(RunReport)

public:
    bool saveFiles = true;      // a scan; false for a preview
    int saveType = 0;           // the run's format (the merged PDF is named in the status line)
    QString languages;          // the searchable formats' recognition languages
    bool cancelled = false;     // the operator stopped it before the scan program had ended
    bool textCancelled = false; // the searchable PDF's text recognition was stopped
    int resultCode = 0;         // the runner's result (0 success)
    QString folder;             // the run's destination folder
    QString address;            // the scanner's, named when it cannot be reached
    bool duplex = false;        // both sides of every sheet: two pages a sheet
    int askedDpi = 0;           // the resolution asked of the scanner
    int usedDpi = 0;            // the one it scanned at, as the scan program noted it (0: unknown)
    QSizeF askedArea;           // the paper size asked for, in millimetres (empty: automatic)
    QSizeF maxArea;             // the largest area the scanner offers (empty: unknown)
    PageTally::Counts counts;

    // "Cancel" for a cancelled run; "Success" when the scan program succeeded and every page
    // collected was saved (a preview: at least one was collected, or left out as blank);
    // "Success-TextCancelled" for such a searchable PDF whose text recognition was stopped
    // (every page is in the file, not all with their text); "Fail" otherwise.
    LogRecord::Result logResult() const;
    // The first file the run wrote; empty when it wrote none (always for a preview).
    QString logPath() const;
    // The pages the run kept: saved, or for a preview collected.
    int keptPages() const { return saveFiles ? counts.saved : counts.collected; }
    // The status-bar line at the end: "N page(s) saved to <folder or merged file>", the
    // cancelled forms, or empty for a failed run that kept nothing; then the blank pages left
    // out and a stopped text recognition, when there are.
    QString statusText() const;
    // "N page(s) scanned": the count a running scan shows.
    static QString pagesScannedText(int pages);
    // "Text recognition N/M": pages recognised of those handed over, while it goes on.
    static QString recognitionText(int done, int total);
    // The warning shown at once when the page store's folder cannot keep a page.
    static QString cacheFullWarning();

    // "the scanner does not offer 150 dpi, scanned at 200 dpi"; empty when it scanned at the
    // resolution asked (or did not say).
    QString resolutionNote() const;
    // "the scanner scans at most 216 x 297 mm, scanned 216 x 297 mm": the paper size asked for
    // is larger than the scanner's largest area; empty otherwise.
    QString areaWarning() const;

    // The warning for the result code (and the area warning); empty for success and for a cancelled
    // run, whose code is the program's answer to the stop. A jam counts the pages the scanner
    // delivered (the blank ones left out too: their sheets went through) and names the sheet to put
    // back.
    QString resultWarning() const;
};
