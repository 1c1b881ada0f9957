#include "app/ScanResultText.h"

#include <QCoreApplication>

QString ScanResultText::message(int code)
{
    // Codes below 0 are the console's own: the scan program could not run at all (-1), or the
    // temporary image folder could not be made (-2).
    const char *source = nullptr;
    switch (code) {
    case 0:
        return QString();
    case -1:
        source = "Unable to start the scan program";
        break;
    case -2:
        source = "Unable to create the temporary image folder";
        break;
    case 1:
        source = "Unable to connect to printer";
        break;
    case 2:
        source = "Scan service busy";
        break;
    case 3:
        source = "Scan service stopped";
        break;
    case 4:
        source = "Parameter error";
        break;
    case 5:
        source = "has no images available to aquire";
        break;
    case 6:
        source = "File receive error";
        break;
    case 7:
        source = "File write error";
        break;
    case 8:
        source = "Scan service internal error";
        break;
    default:
        source = "unknown error";
        break;
    }
    return QCoreApplication::translate("MainWindow", source);
}
