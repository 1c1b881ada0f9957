#include "app/RunReport.h"

#include "app/ScanResultText.h"
#include "imaging/SaveFormat.h"

#include <QDir>

LogRecord::Result RunReport::logResult() const
{
    if (cancelled)
        return LogRecord::Cancel;
    if (resultCode != 0 || counts.collected == 0)
        return LogRecord::Fail;
    if (saveFiles && counts.saved < counts.collected)
        return LogRecord::Fail;
    return LogRecord::Success;
}

QString RunReport::logPath() const
{
    return saveFiles ? counts.firstFile : QString();
}

QString RunReport::statusText() const
{
    const int kept = saveFiles ? counts.saved : counts.collected;
    if (cancelled)
        return saveFiles ? tr("Scan cancelled, %1 page(s) saved").arg(kept)
                         : tr("Scan cancelled, %1 page(s) scanned").arg(kept);
    if (resultCode != 0 && kept == 0)
        return QString(); // the warning says what went wrong
    if (!saveFiles)
        return pagesScannedText(kept);
    const bool merged = saveType == SaveFormat::MergedPdf && !counts.firstFile.isEmpty();
    const QString where = merged ? counts.firstFile : folder;
    return tr("%1 page(s) saved to %2").arg(kept).arg(QDir::toNativeSeparators(where));
}

QString RunReport::resultWarning() const
{
    return cancelled ? QString() : ScanResultText::message(resultCode);
}

QString RunReport::pagesScannedText(int pages)
{
    return tr("%1 page(s) scanned").arg(pages);
}
