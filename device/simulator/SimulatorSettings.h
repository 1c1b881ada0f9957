#pragma once

#include <QString>

class IniEnvSettings;

// What the simulated scanner is told to be: its feeder, its pace and the fault it shows.
struct SimulatorSettings
{
    enum Fault
    {
        NoFault,
        Busy,      // refuses every job with 503, its status says Processing
        Stopped,   // refuses every job with 503, its status says Stopped
        Jam,       // the feeder jams after `faultAfter` pages of a job
        CoverOpen, // the feeder's cover is open: a feeder job fails after `faultAfter` pages
        CutPage,   // page `faultAfter` + 1 of a job is cut off in the middle of its transfer
        // Page `faultAfter` + 1 is a JPEG that ends halfway, sent whole with its true length.
        TruncatedJpeg,
        // The job's Location names another host (127.0.0.2, same port) instead of the scanner.
        ForeignJob,
    };
    // A hostile body: the ScannerStatus document or page `faultAfter` + 1 of a job never ends
    // (at full speed, chunked) or comes one byte every `trickleMs`.
    enum Body
    {
        NormalBody,
        StatusEndless,
        StatusTrickle,
        PageEndless,
        PageTrickle,
    };

    int sheets = 3;        // sheets in the feeder at the start of every feeder job
    int pageDelayMs = 500; // time the scanner takes for each page
    Fault fault = NoFault;
    int faultAfter = 0; // pages delivered before a jam, an open cover or a damaged page
    Body body = NormalBody;
    int trickleMs = 1000;
    QString recordPath; // where received jobs are recorded; empty: nowhere
    // The feeder's state in ScannerStatus before any job: empty for loaded or empty by `sheets`,
    // else "jam" or "door_open" (a sheet left jammed, the cover left open).
    QString feederState;

    // [feeder]/sheets, [feeder]/page_delay_ms, [fault]/kind, [fault]/after_pages, [fault]/body,
    // [fault]/trickle_ms, [record]/file, [feeder]/state, overridden by ESCL_SCANNER_SHEETS,
    // _PAGE_DELAY_MS, _FAULT, _FAULT_AFTER, _BODY, _TRICKLE_MS, _RECORD, _FEEDER_STATE.
    static SimulatorSettings read(const IniEnvSettings &source, QString *error);
    static QString faultName(Fault fault);
    static QString bodyName(Body body);
};
