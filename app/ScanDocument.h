#pragma once

#include "app/RunReport.h"
#include "settings/ScanSettings.h"

#include <QString>

// The document the scans go into. A scan or a preview begins one; "继续扫描" scans on into it
// (after a jam, or to add sheets): the next run works on the document's own settings (its name,
// folder, format and corrections, whatever the panel shows now), its pages go into the page store
// after the earlier ones, and the merged or searchable document is written again with every page.
// What a run reports is then said for the whole document: the pages kept by every run, the
// document's first file, and for a jam the pages (and the sheet to put back) counted from the
// document's start, so the work log's record and the status line cover the whole document.
class ScanDocument
{
public:
    // A new document begins with the run `id` on `settings`.
    void begin(const void *id, const ScanSettings &settings, const QString &address,
               bool saveFiles);
    // Run `id` scans on into the document.
    void continueWith(const void *id);
    // Whether run `id` belongs to the document.
    bool has(const void *id) const { return id && (id == m_current); }
    // The whole document's report, with run `id`'s report `run` (its result and its pages) as
    // the last; a run of another document is reported as it is.
    RunReport whole(const void *id, const RunReport &run) const;
    // Run `id` has ended: its pages are the document's from now on. Returns whole().
    RunReport ended(const void *id, const RunReport &run);

    bool exists() const { return m_exists; }
    // A run of the document is still under way (its scan, or its text recognition).
    bool running() const { return m_current != nullptr; }
    const ScanSettings &settings() const { return m_settings; }
    const QString &address() const { return m_address; }
    bool saveFiles() const { return m_saveFiles; }

private:
    bool m_exists = false;
    ScanSettings m_settings;
    QString m_address;
    bool m_saveFiles = true;
    const void *m_current = nullptr; // the run under way
    bool m_earlier = false;          // runs have ended into the document
    PageTally::Counts m_counts;      // what the ended runs kept, the document's file
};
