// ScanConsoleApp: the scanning console's scan program. It takes the console's scan command line,
// drives the scanner through SANE (a network scanner by its address through the sane-airscan
// backend over eSCL or WSD, or any SANE device by name), leaves one JPEG file per page where
// the console collects them and exits with the result code the console turns into a message.
//
//   ScanConsoleApp -p ADDRESS -t 4 -s SOURCE -c COLOUR -r DPI -f PATH
//   ScanConsoleApp -l        lists the devices SANE finds (see DeviceList)
//
// SOURCE 1 flatbed, 2 feeder, 3 feeder duplex; COLOUR 1 grey, 2 colour, 3 black and white;
// PATH names the folder and the stem of the page files. Settings: ScanConsoleApp.ini beside
// the program (see DriverSettings). Result codes: see ResultCode and SaneResult.
//
// SIGTERM and SIGINT stop it in order (the pages received are written, the job is cancelled and
// deleted on the scanner, exit 130), and so does the end of the console that started it.
#include "device/common/ResultCode.h"
#include "device/driver/DeviceList.h"
#include "device/driver/ScanDriver.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    if (!StopSignals::followParent()) {
        std::fprintf(stderr, "ScanConsoleApp: the console that started the scan is gone; "
                             "nothing was scanned\n");
        return ResultInterrupted;
    }
    const QStringList arguments = ScanCommandLine::arguments(argc, argv);
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);
    if (arguments.size() == 2 && arguments.at(1) == QLatin1String("-l"))
        return DeviceList::print();
    ScanDriver driver(QCoreApplication::applicationDirPath() +
                      QStringLiteral("/ScanConsoleApp.ini"));
    return driver.run(arguments);
}
