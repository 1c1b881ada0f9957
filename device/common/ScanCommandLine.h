#pragma once

#include <QSizeF>
#include <QString>
#include <QStringList>

// One scan as the console asks for it on the scan program's command line.
struct ScanRequest
{
    enum Source
    {
        Flatbed = 1,
        Feeder = 2,
        Duplex = 3, // feeder, front and back of every sheet
    };
    enum Colour
    {
        Grey = 1,
        FullColour = 2,
        BlackAndWhite = 3,
    };

    QString address;
    Source source = Flatbed;
    Colour colour = FullColour;
    int dpi = 300;
    QSizeF areaMm; // the paper's width and height from the top left corner; empty: A4
    QString outputPath;
};

// Reads the scan command line "-p address -t 4 -s source -c colour -r dpi [-a WxH] -f path"
// (every option takes one value, in any order; -t may be left out; -a is the paper size in
// millimetres, "210x297"). Only the plain decimal form of a number
// counts: " 300", "+300" or "0300" are as invalid as "300dpi".
class ScanCommandLine
{
public:
    // Fills `request` and returns 0, or returns ResultParameterError with the reason in `error`.
    // An empty or missing address is not an error here: the caller reports it as unreachable.
    static int parse(const QStringList &arguments, ScanRequest *request, QString *error);

    // The program's arguments, argv[0] first. (Qt's application object would take options
    // such as "-platform" out of argv, even where they are values of ours, so it is given only
    // the program name.)
    static QStringList arguments(int argc, char **argv);

    // The resolutions the command line accepts.
    static constexpr int kMinDpi = 50;
    static constexpr int kMaxDpi = 1200;
    // The paper sides (-a) the command line accepts, in millimetres.
    static constexpr int kMinSideMm = 10;
    static constexpr int kMaxSideMm = 1000;
};
