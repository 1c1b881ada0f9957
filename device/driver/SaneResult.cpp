#include "device/driver/SaneResult.h"

#include "device/common/ResultCode.h"

int SaneResult::code(SANE_Status status, Stage stage)
{
    if (status == SANE_STATUS_GOOD)
        return ResultSuccess;
    if (status == SANE_STATUS_DEVICE_BUSY)
        return ResultBusy;
    if (status == SANE_STATUS_NO_MEM)
        return ResultInternalError;
    if (stage == Opening)
        return ResultUnreachable;
    switch (status) {
    case SANE_STATUS_INVAL:
    case SANE_STATUS_UNSUPPORTED:
        return ResultParameterError;
    case SANE_STATUS_NO_DOCS:
        return ResultNoDocuments;
    case SANE_STATUS_IO_ERROR:
        return ResultReceiveError;
    case SANE_STATUS_JAMMED:
        return ResultJammed;
    case SANE_STATUS_COVER_OPEN:
        return ResultCoverOpen;
    default:
        return ResultInternalError;
    }
}

bool SaneResult::mayHideStoppedService(SANE_Status status)
{
    return status == SANE_STATUS_DEVICE_BUSY || status == SANE_STATUS_IO_ERROR;
}
