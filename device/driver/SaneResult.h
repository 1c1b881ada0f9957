#pragma once

#include <sane/sane.h>

// Turns what SANE reports into the scan program's result code (see ResultCode):
//   opening the device: busy 2, out of memory 8, anything else 1 (cannot be reached)
//   setting options:     a refused option or value (INVAL, UNSUPPORTED) 4
//   scanning:            busy 2, INVAL/UNSUPPORTED 4, no documents 5, I/O error 6,
//                        jammed, cover open, out of memory and anything else 8
// A busy device or an I/O error may hide a stopped scan service (sane-airscan reports one as
// busy); for those the device's own status is asked, and a stopped service gives 3.
class SaneResult
{
public:
    enum Stage
    {
        Opening,
        Configuring,
        Scanning,
    };

    static int code(SANE_Status status, Stage stage);
    static bool mayHideStoppedService(SANE_Status status);
};
