#include "app/RunReport.h"

#include "app/ScanResultText.h"
#include "settings/SaveFormat.h"

#include <QDir>

LogRecord::Result RunReport::logResult() const
{
    if (cancelled)
        return LogRecord::Cancel;
    // Pages that were only paper arrived too: a scan of blank sheets did what was asked.
    if (resultCode != 0 || counts.collected + counts.skipped == 0)
        return LogRecord::Fail;
    if (saveFiles && counts.saved < counts.collected)
        return LogRecord::Fail;
    return saveFiles && textCancelled ? LogRecord::SuccessTextCancelled : LogRecord::Success;
}

QString RunReport::logPath() const
{
    return saveFiles ? counts.firstFile : QString();
}

QString RunReport::statusText() const
{
    const int kept = saveFiles ? counts.saved : counts.collected;
    QString text;
    if (cancelled) {
        text = saveFiles ? tr("Scan cancelled, %1 page(s) saved").arg(kept)
                         : tr("Scan cancelled, %1 page(s) scanned").arg(kept);
    } else if (resultCode != 0 && kept == 0) {
        return QString(); // the warning says what went wrong
    } else if (!saveFiles) {
        text = pagesScannedText(kept);
    } else {
        const bool merged = SaveFormat::isMerged(saveType) && !counts.firstFile.isEmpty();
        const QString where = merged ? counts.firstFile : folder;
        text = tr("%1 page(s) saved to %2").arg(kept).arg(QDir::toNativeSeparators(where));
    }
    if (counts.skipped > 0)
        text += tr(", %1 blank page(s) skipped").arg(counts.skipped);
    if (saveFiles && textCancelled)
        text += tr(", text recognition cancelled");
    const QString resolution = resolutionNote();
    if (!resolution.isEmpty())
        text += tr(", %1").arg(resolution);
    return text;
}

QString RunReport::resultWarning() const
{
    if (cancelled)
        return QString();
    const int pages = counts.collected + counts.skipped;
    const QString result =
        ScanResultText::message(resultCode, pages, (duplex ? pages / 2 : pages) + 1, address);
    const QString area = areaWarning();
    return result.isEmpty() || area.isEmpty() ? result + area : result + '\n' + area;
}

QString RunReport::resolutionNote() const
{
    if (usedDpi <= 0 || askedDpi <= 0 || usedDpi == askedDpi)
        return QString();
    return tr("the scanner does not offer %1 dpi, scanned at %2 dpi").arg(askedDpi).arg(usedDpi);
}

QString RunReport::areaWarning() const
{
    if (askedArea.isEmpty() || maxArea.isEmpty() ||
        (askedArea.width() <= maxArea.width() + 0.5 &&
         askedArea.height() <= maxArea.height() + 0.5))
        return QString();
    auto mm = [](const QSizeF &size) {
        return tr("%1 x %2 mm").arg(qRound(size.width())).arg(qRound(size.height()));
    };
    return tr("The scanner scans at most %1, scanned %2")
        .arg(mm(maxArea), mm(askedArea.boundedTo(maxArea)));
}

QString RunReport::pagesScannedText(int pages)
{
    return tr("%1 page(s) scanned").arg(pages);
}

QString RunReport::recognitionText(int done, int total)
{
    return tr("Text recognition %1/%2").arg(done).arg(total);
}

QString RunReport::cacheFullWarning()
{
    return tr("The page cache is full: pages not saved yet may be lost if the program ends "
              "abnormally");
}
