#pragma once

#include "device/common/ScanCommandLine.h"

#include <QList>
#include <QStringList>

// Picks option values from what a SANE backend offers, by their meaning rather than one
// backend's spelling: sane-airscan says "Flatbed", "ADF", "ADF Duplex", others "Automatic
// Document Feeder", "ADF Front", "Duplex", "Platen"...
class OptionChoice
{
public:
    // The numbers a numeric option accepts: a list, or a range with an optional step.
    struct Numbers
    {
        QList<double> list;
        bool range = false;
        double min = 0;
        double max = 0;
        double quant = 0;
    };

    // The offered source for a flatbed, feeder or duplex scan; empty when none fits.
    static QString source(const QStringList &offered, ScanRequest::Source wanted);
    // The offered mode for grey, colour or black and white. Black and white takes line-art
    // where the device offers it and grey otherwise (the console binarises the page itself).
    // Empty when none fits.
    static QString mode(const QStringList &offered, ScanRequest::Colour wanted);
    // The offered value nearest to `wanted` (the lower one of two as near).
    static double nearest(const Numbers &offered, double wanted);
};
