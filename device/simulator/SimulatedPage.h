#pragma once

#include "device/simulator/EsclXml.h"

#include <QByteArray>
#include <QImage>

// One page as the simulated scanner delivers it: the document-like page the renderer draws,
// cut to the job's scan region at its resolution and colour mode, as JPEG with that resolution
// in its header. A sheet gives the same pixels on every job; its two sides differ.
class SimulatedPage
{
public:
    static QImage render(const EsclXml::ScanSettings &settings, int number, int sheet, int side);
    static QByteArray jpeg(const EsclXml::ScanSettings &settings, int number, int sheet, int side);
};
