#include "app/ScanDocument.h"

#include "settings/SaveFormat.h"

void ScanDocument::begin(const void *id, const ScanSettings &settings, const QString &address,
                         bool saveFiles)
{
    m_exists = true;
    m_settings = settings;
    m_address = address;
    m_saveFiles = saveFiles;
    m_current = id;
    m_earlier = false;
    m_counts = PageTally::Counts();
}

void ScanDocument::continueWith(const void *id)
{
    m_current = id;
}

RunReport ScanDocument::whole(const void *id, const RunReport &run) const
{
    if (!has(id) || !m_earlier)
        return run;
    RunReport report = run;
    PageTally::Counts &c = report.counts;
    const PageTally::Counts &before = m_counts;
    c.collected += before.collected;
    c.skipped += before.skipped;
    c.failedPages += before.failedPages;
    if (SaveFormat::isMerged(run.saveType)) {
        // The run wrote the document again with every page. Where it wrote nothing (no page
        // came, or the write failed) the file from before still holds the earlier pages.
        if (c.firstFile.isEmpty()) {
            c.firstFile = before.firstFile;
            c.saved = before.saved;
        }
        if (c.failedSaves > 0)
            c.failedSaves = qMax(0, c.collected - c.failedPages - c.saved);
    } else {
        c.saved += before.saved;
        if (!before.firstFile.isEmpty())
            c.firstFile = before.firstFile;
        c.failedSaves += before.failedSaves;
        if (c.failedFolder.isEmpty())
            c.failedFolder = before.failedFolder;
    }
    return report;
}

RunReport ScanDocument::ended(const void *id, const RunReport &run)
{
    const RunReport report = whole(id, run);
    if (!has(id))
        return report;
    m_counts = report.counts;
    m_earlier = true;
    m_current = nullptr;
    return report;
}
