#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The eSCL documents the simulated scanner exchanges: the capabilities and status it sends and
// the scan settings of a new job it receives. Lengths are in 1/300 inch, as eSCL has them.
namespace EsclXml {

// A job's settings as the client asked for them.
struct ScanSettings
{
    QString inputSource; // "Platen" or "Feeder"
    bool duplex = false;
    QString colorMode; // "Grayscale8", "RGB24", ...
    int xResolution = 0;
    int yResolution = 0;
    int xOffset = 0;
    int yOffset = 0;
    int width = 0;
    int height = 0;
    QString documentFormat; // empty when the client named none
};

struct JobInfo
{
    QString uri; // "/eSCL/ScanJobs/<uuid>"
    QString uuid;
    int ageSeconds = 0;
    int imagesCompleted = 0;
    int imagesToTransfer = 0;
    QString state;  // "Processing", "Completed", "Canceled", "Aborted"
    QString reason; // a pwg:JobStateReason such as "JobScanning", "MediaJam"
};

// What the scanner offers: platen, feeder simplex and duplex, grey and colour, these
// resolutions, JPEG, up to `maxWidth` x `maxHeight`.
const QList<int> &resolutions();
constexpr int maxWidth = 2550;  // 8.5 inch: letter and A4
constexpr int maxHeight = 3508; // 297 mm: A4

QByteArray capabilities(const QString &makeAndModel, const QString &uuid);
// `state` is "Idle", "Processing", "Stopped" or "Down"; `adfState` "ScannerAdfLoaded",
// "ScannerAdfEmpty", "ScannerAdfJam", "ScannerAdfDoorOpen", ...
QByteArray status(const QString &state, const QString &adfState, const QList<JobInfo> &jobs);
// False when the document is not a well-formed scan:ScanSettings.
bool parseScanSettings(const QByteArray &xml, ScanSettings *settings);

} // namespace EsclXml
