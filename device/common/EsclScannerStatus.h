#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// What an eSCL scanner says of itself in its ScannerStatus document: the state of its scan
// service (pwg:State: Idle, Processing, Testing, Stopped or Down) and of its feeder
// (scan:AdfState, e.g. ScannerAdfEmpty). Only the scanner's own elements count, not the states
// of the jobs listed further down. A document cut short still says what arrived of it; anything
// that is no ScannerStatus document says nothing (both empty).
struct EsclScannerStatus
{
    QString state;
    QString adfState;

    static EsclScannerStatus read(const QByteArray &document);
    // GET <esclRoot>/ScannerStatus (a root ending in '/' too), at most kMaxBytes within
    // `timeoutMs`, over when `stop` says so (EsclHttp); nothing when no status came.
    static EsclScannerStatus ask(const QString &esclRoot, int timeoutMs,
                                 const std::function<bool()> &stop = nullptr);
    // A scanner's ScannerStatus is a few KB; more is not a status.
    static constexpr int kMaxBytes = 64 * 1024;
    // Whether the scan service is stopped or down. sane-airscan turns a stopped service into a
    // busy or failed job without saying so; the state tells the two apart.
    bool stopped() const;
};
