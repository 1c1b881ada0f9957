#pragma once

// The scan program's exit codes, as the console reads them.
enum ResultCode
{
    ResultSuccess = 0,
    ResultUnreachable = 1,    // the device cannot be opened or does not answer
    ResultBusy = 2,           // the device's scan service is busy
    ResultStopped = 3,        // the device's scan service is stopped
    ResultParameterError = 4, // a parameter or option value was refused
    ResultNoDocuments = 5,    // the feeder was empty before the first page
    ResultReceiveError = 6,   // a page was cut off or unreadable while it was received
    ResultWriteError = 7,     // a page file could not be written
    ResultInternalError = 8,  // out of memory, a runaway backend, anything else
    ResultJammed = 9,         // the feeder jammed; the pages before the jam are kept
    ResultCoverOpen = 10,     // the feeder's cover was opened; the pages before are kept
    ResultInterrupted = 130,  // stopped by SIGTERM or SIGINT; the pages so far are kept
};
