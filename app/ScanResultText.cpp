#include "app/ScanResultText.h"

#include <QCoreApplication>

namespace {

QString tr(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

} // namespace

bool ScanResultText::offersContinue(int code)
{
    return code == 9 || code == 10;
}

QString ScanResultText::message(int code, int pages, int nextSheet, const QString &address)
{
    // Codes below 0 are the console's own: the scan program could not run at all (-1), or the
    // temporary image folder could not be made (-2).
    switch (code) {
    case 0:
        return QString();
    case -1:
        return tr("Unable to start the scan program");
    case -2:
        return tr("Unable to create the temporary image folder");
    case 1:
        return tr("Unable to connect to the scanner %1: check that it is switched on and on the "
                  "network, then click \"Test connection\" in \"Choose scanner\".")
            .arg(address.isEmpty() ? tr("(no address)") : address);
    case 2:
        return tr("The scanner is busy (copying, or in use by someone else); try again later.");
    case 3:
        return tr("The scanner's scan service is stopped: check the scanner's panel.");
    case 4:
        return tr("Parameter error");
    case 5:
        return tr("There is no paper in the feeder: put the sheets in and try again.");
    case 6:
        return tr("File receive error");
    case 7:
        return tr("File write error");
    case 8:
        return tr("Scan service internal error");
    case 9:
        return tr("Paper jam: the first %1 page(s) are saved. Take out the jammed paper, put the "
                  "sheets from sheet %2 on back into the feeder, then click \"Continue scan\".")
            .arg(pages)
            .arg(nextSheet);
    case 10:
        return tr("The scanner's cover is open: the first %1 page(s) are saved. Close the cover, "
                  "put the sheets from sheet %2 on back into the feeder, then click \"Continue "
                  "scan\".")
            .arg(pages)
            .arg(nextSheet);
    default:
        return tr("unknown error");
    }
}
